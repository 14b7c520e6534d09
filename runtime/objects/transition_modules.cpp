#include "objects/transition_modules.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/runtime_services.h"
#include "startup/plugin_modules.h"
#include "startup/runtime_files.h"
#include "startup/stored_text.h"

#include "vtrs2/raw_files.h"
#include "win32/kernel.h"

#include <deque>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::u16string_view ModuleExtension = u".dll";

// Records stay where they are while others are added: callers keep pointers to them.
std::deque<TransitionModuleRecord>& Modules() {
    static std::deque<TransitionModuleRecord> modules;
    return modules;
}

const transition::Operations* OperationsOf(transition::Object* t) {
    return t ? t->operations : nullptr;
}

// A slot the module filled: within the count it gives and within the table this runtime knows.
template <typename Slot> Slot SlotOf(transition::Object* t, Slot transition::Operations::*slot, int index) {
    const transition::Operations* ops = OperationsOf(t);
    if (!ops || static_cast<std::uint32_t>(index) >= ops->slots ||
        ops->size < sizeof(std::uint32_t) * 2 + (static_cast<std::size_t>(index) + 1) * sizeof(void*))
        return nullptr;
    return ops->*slot;
}

} // namespace

std::optional<TransitionDescriptor> ReadTransitionDescriptor(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < TransitionDescriptorBytes) return std::nullopt;
    ByteReader r(bytes);
    TransitionDescriptor d{};
    std::uint32_t nameOffset = 0, parameterOffset = 0, parameterSize = 0;
    if (!r.Skip(4) || !r.U32(d.identifier) || !r.U32(d.duration) || !r.U32(d.flags) || !r.U32(d.colour) ||
        !r.U32(nameOffset) || !r.U32(parameterOffset) || !r.U32(parameterSize))
        return std::nullopt;
    if (parameterOffset > bytes.size() || parameterSize > bytes.size() - parameterOffset) return std::nullopt;
    d.parameters = bytes.subspan(parameterOffset, parameterSize);
    const ApplicationRecord* app = CurrentApplication();
    std::optional<std::u16string> name = TerminatedStoredText(
        bytes, nameOffset, (d.flags & TransitionWideName) != 0, app ? app->codePage : 1252);
    if (!name) return std::nullopt;
    d.moduleName = std::move(*name);
    return d;
}

const TransitionModuleRecord* LoadTransitionModule(std::u16string_view name) {
    if (!IsPlainFileName(name)) return nullptr;
    const std::u16string file = WithFileExtension(name, ModuleExtension);
    for (const TransitionModuleRecord& record : Modules())
        if (EqualsIgnoringCase(record.name, file)) return &record;
    HMODULE module = LoadPluginModule(PluginModulePath(file), file);
    if (!module) return nullptr;
    auto create = reinterpret_cast<transition::CreateTransitionProc>(
        GetProcAddress(module, transition::CreateTransitionName));
    if (!create) {
        FreeLibrary(module);
        return nullptr;
    }
    Modules().push_back({module, file, create});
    return &Modules().back();
}

transition::Object* CreateTransitionObject(const TransitionDescriptor& d) {
    const TransitionModuleRecord* record = LoadTransitionModule(d.moduleName);
    if (!record) return nullptr;
    return record->createTransition(0, d.identifier, d.parameters.empty() ? nullptr : d.parameters.data(),
                                    static_cast<std::uint32_t>(d.parameters.size()));
}

void FreeTransitionModules() {
    for (const TransitionModuleRecord& record : Modules())
        FreeLibrary(record.module);
    Modules().clear();
}

std::int32_t TransitionInterfaceLevel(transition::Object* t) {
    auto call = SlotOf(t, &transition::Operations::interfaceLevel, 1);
    return call ? call(t) : 0;
}

std::uint32_t TransitionCapabilities(transition::Object* t) {
    auto call = SlotOf(t, &transition::Operations::capabilities, 4);
    return call ? call(t) : 0;
}

void StartTransition(transition::Object* t, std::uint32_t duration) {
    if (auto call = SlotOf(t, &transition::Operations::start, 8)) call(t, duration);
}

void StepTransition(transition::Object* t, cSurface* target, cSurface* source, cSurface* destination,
                    std::uint32_t mode, transition::ChangedRects* changed) {
    if (changed) *changed = nullptr;
    if (auto call = SlotOf(t, &transition::Operations::step, 9))
        call(t, target, source, destination, mode, changed);
}

void EndTransition(transition::Object* t, bool isFadeOut) {
    if (auto call = SlotOf(t, &transition::Operations::end, 10)) call(t, isFadeOut ? 1 : 0);
}

bool TransitionDone(transition::Object* t) {
    auto call = SlotOf(t, &transition::Operations::isDone, 11);
    return !call || call(t) != 0;
}

bool TransitionDrawsDirectly(transition::Object* t, bool isDirect3D) {
    if (TransitionInterfaceLevel(t) <= 1) return false;
    auto call = SlotOf(t, &transition::Operations::canDrawDirectly, 14);
    return call && call(t, 1, isDirect3D ? 1 : 0) != 0;
}

void StepTransitionDirect(transition::Object* t, cSurface* target, int x, int y, cSurface* source,
                          cSurface* destination, std::uint32_t mode, transition::ChangedRects* changed,
                          bool transparent, std::uint32_t inkEffect, void* effect) {
    if (changed) *changed = nullptr;
    if (auto call = SlotOf(t, &transition::Operations::directStep, 15))
        call(t, target, x, y, source, destination, mode, changed, transparent ? 1 : 0, inkEffect, effect, 0);
}

void DestroyTransition(transition::Object* t) {
    if (auto call = SlotOf(t, &transition::Operations::destroy, 0)) call(t);
}

} // namespace vtrrt
