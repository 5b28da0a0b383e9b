#pragma once
// A host of the built VST3 binary on its COM interfaces alone: the factory's component and edit
// controller, connected to each other as hosts connect them. States go in as the bytes of a memory
// stream. Tests and fuzz targets use it to reach the framework's VST3 wrapper itself.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brondavell::test
{
class Vst3ModuleHost
{
public:
    // bundle: the .vst3 directory. Throws std::runtime_error when the binary does not load or the
    // component or controller cannot be made.
    explicit Vst3ModuleHost(const std::string& bundle);
    ~Vst3ModuleHost();
    Vst3ModuleHost(const Vst3ModuleHost&) = delete;
    Vst3ModuleHost& operator=(const Vst3ModuleHost&) = delete;

    // The calls' results (tresult: 0 is kResultOk, 1 kResultFalse).
    struct StateResults
    {
        int32_t component, controllerComponentState, controllerState;
    };
    // The host's restore: the bytes in a memory stream to the component's setState, then the same
    // stream, from its start, to the controller's setComponentState and to its setState.
    StateResults setState(const uint8_t* data, size_t size);
    // The component's getState.
    std::vector<uint8_t> componentState();

    // The controller's parameters in its order: title, whether it is the bypass, and the
    // normalised value the controller reports.
    int parameterCount() const;
    std::string parameterTitle(int index) const;
    bool isBypass(int index) const;
    double parameterValue(int index) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
}
