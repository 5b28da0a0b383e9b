#include "Vst3ModuleHost.h"

// The SDK copy the framework ships. Interfaces are named by the identifiers each header holds
// (INLINE_UID_OF), not by their iid members, which a program may define only once.
#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace brondavell::test
{
namespace
{
using namespace Steinberg;

// A stream over bytes in memory, as hosts hand states over: it also tells its size. COM interfaces
// have no virtual destructor; the stream deletes itself in release().
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class MemoryStream final : public IBStream, public ISizeableStream
{
public:
    MemoryStream() = default;
    MemoryStream(const uint8_t* data, size_t size) : bytes(data, data + size) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override
    {
        if (FUnknownPrivate::iidEqual(iid, INLINE_UID_OF(IBStream))
            || FUnknownPrivate::iidEqual(iid, INLINE_UID_OF(FUnknown)))
            *object = static_cast<IBStream*>(this);
        else if (FUnknownPrivate::iidEqual(iid, INLINE_UID_OF(ISizeableStream)))
            *object = static_cast<ISizeableStream*>(this);
        else
        {
            *object = nullptr;
            return kNoInterface;
        }
        addRef();
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override
    {
        const auto left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        const auto count = std::clamp<int64>(static_cast<int64>(bytes.size()) - position, 0, std::max(numBytes, 0));
        if (count > 0)
            std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(count));
        position += count;
        if (numBytesRead != nullptr)
            *numBytesRead = static_cast<int32>(count);
        return kResultOk;
    }
    tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        if (numBytes < 0)
            return kInvalidArgument;
        const auto end = static_cast<size_t>(position) + static_cast<size_t>(numBytes);
        if (end > bytes.size())
            bytes.resize(end);
        std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
        position += numBytes;
        if (numBytesWritten != nullptr)
            *numBytesWritten = numBytes;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) override
    {
        const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? position : static_cast<int64>(bytes.size());
        position = std::clamp<int64>(base + pos, 0, static_cast<int64>(bytes.size()));
        if (result != nullptr)
            *result = position;
        return kResultOk;
    }
    tresult PLUGIN_API tell(int64* pos) override
    {
        if (pos != nullptr)
            *pos = position;
        return kResultOk;
    }
    tresult PLUGIN_API getStreamSize(int64& size) override
    {
        size = static_cast<int64>(bytes.size());
        return kResultOk;
    }
    tresult PLUGIN_API setStreamSize(int64 size) override
    {
        bytes.resize(static_cast<size_t>(std::max<int64>(size, 0)));
        position = std::min(position, static_cast<int64>(bytes.size()));
        return kResultOk;
    }

    std::vector<uint8_t> bytes;

private:
    ~MemoryStream() = default;

    std::atomic<uint32> references{ 1 };
    int64 position = 0;
};
#pragma GCC diagnostic pop

// An interface pointer that releases its reference.
template <typename Interface>
struct Reference
{
    Interface* pointer = nullptr;
    ~Reference()
    {
        if (pointer != nullptr)
            pointer->release();
    }
    Interface* operator->() const { return pointer; }
    void** out() { return reinterpret_cast<void**>(&pointer); }
};

std::string findBinary(const std::string& bundle)
{
    for (const auto& entry : std::filesystem::directory_iterator(bundle + "/Contents/x86_64-linux"))
        if (entry.path().extension() == ".so")
            return entry.path().string();
    throw std::runtime_error("no binary in " + bundle);
}

std::string ascii(const Vst::String128 text)
{
    std::string result;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        result += static_cast<char>(text[i]);
    return result;
}
}

struct Vst3ModuleHost::Impl
{
    void* library = nullptr;
    Reference<IPluginFactory> factory;
    Reference<Vst::IComponent> component;
    Reference<Vst::IEditController> controller;
    Reference<Vst::IConnectionPoint> componentPoint, controllerPoint;
    std::vector<Vst::ParameterInfo> parameters;
};

Vst3ModuleHost::Vst3ModuleHost(const std::string& bundle) : impl(std::make_unique<Impl>())
{
    auto& m = *impl;
    // The library stays loaded for the process, as hosts commonly keep plug-in libraries.
    m.library = dlopen(findBinary(bundle).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (m.library == nullptr)
        throw std::runtime_error(std::string("cannot load the VST3 binary: ") + dlerror());
    const auto moduleEntry = reinterpret_cast<bool (*)(void*)>(dlsym(m.library, "ModuleEntry"));
    const auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(m.library, "GetPluginFactory"));
    if (moduleEntry == nullptr || getFactory == nullptr || !moduleEntry(m.library))
        throw std::runtime_error("the VST3 binary has no module entry or factory");
    m.factory.pointer = getFactory();
    if (m.factory.pointer == nullptr)
        throw std::runtime_error("the VST3 binary has no factory");

    for (int32 i = 0; i < m.factory->countClasses() && m.component.pointer == nullptr; ++i)
    {
        PClassInfo info;
        if (m.factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, kVstAudioEffectClass) == 0)
            m.factory->createInstance(info.cid, INLINE_UID_OF(Vst::IComponent), m.component.out());
    }
    TUID controllerId;
    if (m.component.pointer == nullptr || m.component->initialize(nullptr) != kResultOk
        || m.component->getControllerClassId(controllerId) != kResultOk
        || m.factory->createInstance(controllerId, INLINE_UID_OF(Vst::IEditController), m.controller.out()) != kResultOk
        || m.controller->initialize(nullptr) != kResultOk)
        throw std::runtime_error("the VST3 binary's component or controller cannot be made");

    m.component->queryInterface(INLINE_UID_OF(Vst::IConnectionPoint), m.componentPoint.out());
    m.controller->queryInterface(INLINE_UID_OF(Vst::IConnectionPoint), m.controllerPoint.out());
    if (m.componentPoint.pointer == nullptr || m.controllerPoint.pointer == nullptr)
        throw std::runtime_error("the VST3 component and controller cannot be connected");
    m.componentPoint->connect(m.controllerPoint.pointer);
    m.controllerPoint->connect(m.componentPoint.pointer);

    m.parameters.resize(static_cast<size_t>(m.controller->getParameterCount()));
    for (size_t i = 0; i < m.parameters.size(); ++i)
        m.controller->getParameterInfo(static_cast<int32>(i), m.parameters[i]);
}

Vst3ModuleHost::~Vst3ModuleHost()
{
    auto& m = *impl;
    m.componentPoint->disconnect(m.controllerPoint.pointer);
    m.controllerPoint->disconnect(m.componentPoint.pointer);
    m.controller->terminate();
    m.component->terminate();
}

Vst3ModuleHost::StateResults Vst3ModuleHost::setState(const uint8_t* data, size_t size)
{
    auto& m = *impl;
    auto* stream = new MemoryStream(data, size);
    StateResults results{};
    results.component = m.component->setState(stream);
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    results.controllerComponentState = m.controller->setComponentState(stream);
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    results.controllerState = m.controller->setState(stream);
    stream->release();
    return results;
}

std::vector<uint8_t> Vst3ModuleHost::componentState()
{
    auto* stream = new MemoryStream();
    impl->component->getState(stream);
    auto bytes = stream->bytes;
    stream->release();
    return bytes;
}

int Vst3ModuleHost::parameterCount() const { return static_cast<int>(impl->parameters.size()); }

std::string Vst3ModuleHost::parameterTitle(int index) const
{
    return ascii(impl->parameters[static_cast<size_t>(index)].title);
}

bool Vst3ModuleHost::isBypass(int index) const
{
    return (impl->parameters[static_cast<size_t>(index)].flags & Vst::ParameterInfo::kIsBypass) != 0;
}

double Vst3ModuleHost::parameterValue(int index) const
{
    return impl->controller->getParamNormalized(impl->parameters[static_cast<size_t>(index)].id);
}
}
