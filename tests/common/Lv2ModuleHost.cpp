#include "Lv2ModuleHost.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace brondavell::test
{
namespace
{
// The plug-in's ports as its dsp.ttl numbers them (one input and one output channel).
enum Port : uint32_t
{
    audioIn = 0,
    audioOut = 1,
    eventsIn = 2,
    eventsOut = 3,
    latency = 4,
    freeWheeling = 5,
    enabled = 6
};

constexpr size_t kEventBufferBytes = 1 << 16;

std::string findBinary(const std::string& bundle)
{
    for (const auto& entry : std::filesystem::directory_iterator(bundle))
        if (entry.path().extension() == ".so")
            return entry.path().string();
    throw std::runtime_error("no binary in " + bundle);
}
}

struct Lv2ModuleHost::Impl
{
    std::mutex uridLock;
    std::map<std::string, LV2_URID> urids;
    std::vector<std::string> uris;  // by URID - 1
    LV2_URID_Map mapFeature{ this, [](LV2_URID_Map_Handle handle, const char* uri) {
                                return static_cast<Impl*>(handle)->map(uri);
                            } };
    LV2_URID_Unmap unmapFeature{ this, [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
                                    return static_cast<Impl*>(handle)->unmap(urid);
                                } };

    int32_t maxBlock = 0;
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapEntry{}, unmapEntry{}, optionsEntry{}, boundedEntry{};
    std::vector<const LV2_Feature*> features;

    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
    const LV2_State_Interface* state = nullptr;
    std::string pluginUri;

    std::vector<float> input, output;
    float latencyValue = 0.0f, freeWheelingValue = 0.0f, enabledValue = 1.0f;
    std::vector<uint64_t> eventsIn, eventsOut;  // 8-byte aligned atom buffers
    std::map<LV2_URID, float> reported;
    size_t reportsInLastRun = 0;

    LV2_URID map(const char* uri)
    {
        const std::lock_guard<std::mutex> lock(uridLock);
        const auto [it, added] = urids.emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
        if (added)
            uris.push_back(uri);
        return it->second;
    }

    const char* unmap(LV2_URID urid)
    {
        const std::lock_guard<std::mutex> lock(uridLock);
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
    }
};

Lv2ModuleHost::Lv2ModuleHost(const std::string& bundle, double sampleRate, uint32_t maxBlockLength)
    : impl(std::make_unique<Impl>())
{
    auto& m = *impl;
    m.maxBlock = static_cast<int32_t>(maxBlockLength);
    m.options = { { LV2_OPTIONS_INSTANCE, 0, m.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), m.map(LV2_ATOM__Int),
                    &m.maxBlock },
                  { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } };
    m.mapEntry = { LV2_URID__map, &m.mapFeature };
    m.unmapEntry = { LV2_URID__unmap, &m.unmapFeature };
    m.optionsEntry = { LV2_OPTIONS__options, m.options.data() };
    m.boundedEntry = { LV2_BUF_SIZE__boundedBlockLength, nullptr };
    m.features = { &m.mapEntry, &m.unmapEntry, &m.optionsEntry, &m.boundedEntry, nullptr };

    // The library stays loaded for the process, as hosts commonly keep plug-in libraries.
    m.library = dlopen(findBinary(bundle).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (m.library == nullptr)
        throw std::runtime_error(std::string("cannot load the LV2 binary: ") + dlerror());
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(m.library, "lv2_descriptor"));
    m.descriptor = entry != nullptr ? entry(0) : nullptr;
    if (m.descriptor == nullptr)
        throw std::runtime_error("the LV2 binary has no plug-in");
    m.pluginUri = m.descriptor->URI;
    m.instance = m.descriptor->instantiate(m.descriptor, sampleRate, bundle.c_str(), m.features.data());
    if (m.instance == nullptr)
        throw std::runtime_error("the LV2 plug-in did not instantiate");
    m.state = static_cast<const LV2_State_Interface*>(m.descriptor->extension_data(LV2_STATE__interface));
    if (m.state == nullptr)
        throw std::runtime_error("the LV2 plug-in has no state interface");

    m.input.assign(maxBlockLength, 0.0f);
    m.output.assign(maxBlockLength, 0.0f);
    m.eventsIn.assign(kEventBufferBytes / sizeof(uint64_t), 0);
    m.eventsOut.assign(kEventBufferBytes / sizeof(uint64_t), 0);
    m.descriptor->connect_port(m.instance, audioIn, m.input.data());
    m.descriptor->connect_port(m.instance, audioOut, m.output.data());
    m.descriptor->connect_port(m.instance, eventsIn, m.eventsIn.data());
    m.descriptor->connect_port(m.instance, eventsOut, m.eventsOut.data());
    m.descriptor->connect_port(m.instance, latency, &m.latencyValue);
    m.descriptor->connect_port(m.instance, freeWheeling, &m.freeWheelingValue);
    m.descriptor->connect_port(m.instance, enabled, &m.enabledValue);
    if (m.descriptor->activate != nullptr)
        m.descriptor->activate(m.instance);
}

Lv2ModuleHost::~Lv2ModuleHost()
{
    if (impl->descriptor->deactivate != nullptr)
        impl->descriptor->deactivate(impl->instance);
    impl->descriptor->cleanup(impl->instance);
}

LV2_URID Lv2ModuleHost::map(const std::string& uri) { return impl->map(uri.c_str()); }

LV2_URID Lv2ModuleHost::parameter(const std::string& parameterId) { return map(impl->pluginUri + ":" + parameterId); }

LV2_URID Lv2ModuleHost::stateKey() { return map(impl->pluginUri + ":StateString"); }

LV2_URID Lv2ModuleHost::programKey() { return map(impl->pluginUri + ":Program"); }

LV2_State_Status Lv2ModuleHost::restore(const std::vector<Property>& properties)
{
    // Each value is copied into a block of exactly its size, so that a read past it is caught.
    struct Handed
    {
        const std::vector<Property>& properties;
        std::vector<std::unique_ptr<uint8_t[]>> blocks;
    } handed{ properties, {} };
    const auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                             uint32_t* flags) -> const void* {
        auto& h = *static_cast<Handed*>(handle);
        for (const auto& property : h.properties)
            if (property.key == key)
            {
                auto& block = h.blocks.emplace_back(new uint8_t[property.value.size()]);
                std::memcpy(block.get(), property.value.data(), property.value.size());
                *size = property.value.size();
                *type = property.type;
                *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
                return block.get();
            }
        return nullptr;
    };
    return impl->state->restore(impl->instance, retrieve, &handed, 0, impl->features.data());
}

std::vector<Lv2ModuleHost::Property> Lv2ModuleHost::store()
{
    std::vector<Property> stored;
    const auto keep = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                         uint32_t) -> LV2_State_Status {
        const auto* bytes = static_cast<const uint8_t*>(value);
        static_cast<std::vector<Property>*>(handle)->push_back({ key, type, { bytes, bytes + size } });
        return LV2_STATE_SUCCESS;
    };
    impl->state->save(impl->instance, keep, &stored, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, impl->features.data());
    return stored;
}

void Lv2ModuleHost::run(uint32_t samples, const std::vector<std::pair<LV2_URID, float>>& changes)
{
    auto& m = *impl;
    const LV2_URID sequenceType = m.map(LV2_ATOM__Sequence);
    const LV2_URID patchSet = m.map(LV2_PATCH__Set);
    const LV2_URID patchProperty = m.map(LV2_PATCH__property);
    const LV2_URID patchValue = m.map(LV2_PATCH__value);
    const LV2_URID objectType = m.map(LV2_ATOM__Object);
    const LV2_URID floatType = m.map(LV2_ATOM__Float);
    const LV2_URID uridType = m.map(LV2_ATOM__URID);

    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &m.mapFeature);
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(m.eventsIn.data()), kEventBufferBytes);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const auto& [urid, value] : changes)
    {
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &object, 0, patchSet);
        lv2_atom_forge_key(&forge, patchProperty);
        lv2_atom_forge_urid(&forge, urid);
        lv2_atom_forge_key(&forge, patchValue);
        lv2_atom_forge_float(&forge, value);
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);

    // An output sequence port receives the capacity in its header's size.
    auto* out = reinterpret_cast<LV2_Atom_Sequence*>(m.eventsOut.data());
    out->atom.type = 0;
    out->atom.size = static_cast<uint32_t>(kEventBufferBytes - sizeof(LV2_Atom));

    m.descriptor->run(m.instance, samples);

    m.reportsInLastRun = 0;
    if (out->atom.type != sequenceType)
        return;
    for (auto* event = lv2_atom_sequence_begin(&out->body);
         !lv2_atom_sequence_is_end(&out->body, out->atom.size, event); event = lv2_atom_sequence_next(event))
    {
        if (event->body.type != objectType)
            continue;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->body.otype != patchSet)
            continue;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        for (auto* p = lv2_atom_object_begin(&object->body);
             !lv2_atom_object_is_end(&object->body, object->atom.size, p); p = lv2_atom_object_next(p))
        {
            if (p->key == patchProperty)
                property = &p->value;
            else if (p->key == patchValue)
                value = &p->value;
        }
        if (property != nullptr && value != nullptr && property->type == uridType && value->type == floatType)
        {
            m.reported[reinterpret_cast<const LV2_Atom_URID*>(property)->body] =
                reinterpret_cast<const LV2_Atom_Float*>(value)->body;
            ++m.reportsInLastRun;
        }
    }
}

const std::map<LV2_URID, float>& Lv2ModuleHost::reported() const { return impl->reported; }

size_t Lv2ModuleHost::reportsInLastRun() const { return impl->reportsInLastRun; }
}
