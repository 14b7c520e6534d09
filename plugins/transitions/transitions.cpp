// A cross-fade (identifier 1) and a wipe from left to right (identifier 2). The parameter block, when it
// holds at least four bytes, gives a number of steps in its first little-endian u32: the transition then
// ends after that many steps whatever the time; without it (or with 0) it lasts the duration, in ms.
#include "plugin/transition.h"

#include "vtrs2/surface.h"
#include "win32/kernel.h"
#include "win32/mm.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

using namespace win32;

constexpr std::uint32_t IdentifierFade = 1;
constexpr std::uint32_t IdentifierWipe = 2;
constexpr int BlendInk = 1;
constexpr int FullCoefficient = 128;

struct Transition {
    transition::Object base;
    std::uint32_t identifier = IdentifierFade;
    std::uint32_t steps = 0;    // 0: by time
    std::uint32_t duration = 0; // ms
    std::uint32_t taken = 0;
    DWORD started = 0;
    DWORD lastStep = 0;
    bool drewLast = false; // the last step drew the final picture
};

// A transition by time that nothing steps any more (an object out of sight) ends this long after its time
// is up.
constexpr DWORD UnsteppedGrace = 250;

Transition* Of(transition::Object* o) {
    return reinterpret_cast<Transition*>(o);
}

// How far the transition is, 0 to 1.
double Progress(const Transition& t) {
    if (t.steps) return std::min(1.0, static_cast<double>(t.taken) / t.steps);
    if (t.duration == 0) return 1.0;
    return std::min(1.0, static_cast<double>(timeGetTime() - t.started) / t.duration);
}

void Destroy(transition::Object* o) {
    delete Of(o);
}

std::int32_t InterfaceLevel(transition::Object*) {
    return 1;
}

std::uint32_t Capabilities(transition::Object*) {
    return 0;
}

void Start(transition::Object* o, std::uint32_t duration) {
    Transition& t = *Of(o);
    t.duration = duration;
    t.taken = 0;
    t.started = t.lastStep = timeGetTime();
    t.drewLast = false;
}

void DrawFade(cSurface& target, cSurface& destination, double progress) {
    const auto coefficient =
        static_cast<LPARAM>(FullCoefficient - static_cast<int>(progress * FullCoefficient + 0.5));
    destination.BlitWhole(target, 0, 0, 0, BlendInk, coefficient);
}

void DrawWipe(cSurface& target, cSurface& destination, double progress) {
    const int width = static_cast<int>(std::min(target.GetWidth(), destination.GetWidth()) * progress + 0.5);
    if (width > 0) destination.Blit(target, 0, 0, 0, 0, width, destination.GetHeight(), 0);
}

void Step(transition::Object* o, cSurface* target, cSurface* source, cSurface* destination, std::uint32_t,
          transition::ChangedRects* changed) {
    Transition& t = *Of(o);
    if (changed) *changed = nullptr; // the whole picture changes
    if (t.steps && t.taken < t.steps) ++t.taken;
    t.lastStep = timeGetTime();
    const double progress = Progress(t);
    t.drewLast = progress >= 1.0;
    if (!target || !source || !destination) return;
    source->BlitWhole(*target, 0, 0, 0);
    if (t.identifier == IdentifierWipe)
        DrawWipe(*target, *destination, progress);
    else
        DrawFade(*target, *destination, progress);
}

void End(transition::Object*, std::int32_t) {}

// Done once the final picture is drawn: a step taken late in the time is followed by one more, so that the
// fade never ends short of where it goes.
std::int32_t IsDone(transition::Object* o) {
    const Transition& t = *Of(o);
    if (Progress(t) < 1.0) return 0;
    if (t.drewLast) return 1;
    return timeGetTime() - t.lastStep >= UnsteppedGrace ? 1 : 0;
}

constexpr transition::Operations Operations = {
    sizeof(transition::Operations),
    12, // through slot 11: the direct slots 14 and 15 are not offered
    Destroy,
    InterfaceLevel,
    nullptr,
    nullptr,
    Capabilities,
    nullptr,
    nullptr,
    nullptr,
    Start,
    Step,
    End,
    IsDone,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

} // namespace

extern "C" __attribute__((visibility("default"))) transition::Object*
CreateTransition(std::uint32_t, std::uint32_t identifier, const void* parameters, std::uint32_t size) {
    if (identifier != IdentifierFade && identifier != IdentifierWipe) return nullptr;
    auto* t = new (std::nothrow) Transition;
    if (!t) return nullptr;
    t->base.operations = &Operations;
    t->identifier = identifier;
    if (parameters && size >= 4) {
        const auto* p = static_cast<const std::uint8_t*>(parameters);
        t->steps = static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
                   (static_cast<std::uint32_t>(p[3]) << 24);
    }
    return &t->base;
}
