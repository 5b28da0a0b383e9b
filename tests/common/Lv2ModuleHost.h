#pragma once
// A host of the built LV2 binary on its C interface alone, offering what the plug-in requires
// (URID map, options with the maximum block length, bounded block length). It restores states
// from the properties its retrieve callback hands out, stores them, runs blocks with parameter
// changes and keeps the parameter values the plug-in reports. Tests and fuzz targets use it to
// reach the framework's LV2 client itself, which JUCE's LV2 host would wrap in its own parsing
// and locking.

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brondavell::test
{
class Lv2ModuleHost
{
public:
    // bundle: the .lv2 directory. Throws std::runtime_error when the binary does not load or the
    // plug-in does not instantiate.
    Lv2ModuleHost(const std::string& bundle, double sampleRate, uint32_t maxBlockLength);
    ~Lv2ModuleHost();
    Lv2ModuleHost(const Lv2ModuleHost&) = delete;
    Lv2ModuleHost& operator=(const Lv2ModuleHost&) = delete;

    LV2_URID map(const std::string& uri);
    // The URID of a parameter's property: the plug-in's URI, ':' and the parameter ID.
    LV2_URID parameter(const std::string& parameterId);
    // The keys of the plug-in's state: the base-64 state string and a program number.
    LV2_URID stateKey();
    LV2_URID programKey();

    struct Property
    {
        LV2_URID key;
        LV2_URID type;
        std::vector<uint8_t> value;  // handed out as a block of exactly this size
    };
    // Calls the state interface's restore; the retrieve callback hands out the first property with
    // the key asked for, or nothing.
    LV2_State_Status restore(const std::vector<Property>& properties);
    // The properties the state interface's save stores.
    std::vector<Property> store();

    // Runs one block of silence; each change goes in as a patch:Set event before it. Afterwards
    // the values the plug-in reports (its patch:Set output) are in reported().
    void run(uint32_t samples, const std::vector<std::pair<LV2_URID, float>>& changes = {});
    // The last value reported for each parameter, by URID, and how many reports the last run had.
    const std::map<LV2_URID, float>& reported() const;
    size_t reportsInLastRun() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
}
