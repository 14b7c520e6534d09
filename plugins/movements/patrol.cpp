// The patrol movement (vtrpatrol.mvx): the object walks right and back over a fixed span from where it
// starts, a number of pixels each loop, turning at each end; a new direction starts a new sweep from where
// the object stands. Its stored data: i16 speed (pixels per loop),
// i16 span (pixels), little-endian.
#include "plugin/movement.h"
#include "plugin/run_object.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

using movement::Instance;
using movement::Plugin;
using vtrrt::RunObject;

constexpr std::int32_t DirectionRight = 0;
constexpr std::int32_t DirectionLeft = 16;

const movement::Services* services = nullptr;

struct PatrolPlugin : Plugin {
    std::int32_t speed = 2;
    std::int32_t span = 64;
};

struct PatrolInstance : Instance {
    std::int32_t speed = 0, span = 0;
    std::int32_t originX = 0; // the left end
    std::int32_t offset = 0;  // from the left end, 0..span
    std::int32_t step = 1;    // +1 right, -1 left
    bool stopped = false;
};

PatrolInstance* Of(Instance* i) {
    return static_cast<PatrolInstance*>(i);
}

void Place(PatrolInstance* p, RunObject* o) {
    o->x = p->originX + p->offset;
    if (services && services->size >= sizeof(movement::Services) && services->objectMoved)
        services->objectMoved(o);
}

const movement::InstanceOperations& InstanceTable() {
    static const movement::InstanceOperations table = [] {
        movement::InstanceOperations t{};
        t.size = sizeof(t);
        t.slots = movement::InstanceOperationSlots;
        t.initialise = [](Instance* i, Plugin* plugin, RunObject* o) {
            PatrolInstance* p = Of(i);
            const auto* settings = static_cast<PatrolPlugin*>(plugin);
            p->speed = settings ? settings->speed : 0;
            p->span = settings ? settings->span : 0;
            p->originX = o ? o->x : 0;
        };
        t.free = [](Instance* i) { delete Of(i); };
        t.interfaceVersion = [](Instance*) { return std::int32_t{2}; };
        t.handle = [](Instance* i, RunObject* o) -> std::int32_t {
            PatrolInstance* p = Of(i);
            if (!o || p->stopped || p->speed <= 0 || p->span <= 0) return 0;
            p->offset += p->step * p->speed;
            if (p->offset >= p->span) {
                p->offset = p->span;
                p->step = -1;
            } else if (p->offset <= 0) {
                p->offset = 0;
                p->step = 1;
            }
            Place(p, o);
            return 1;
        };
        // Moved from outside: the patrol goes on around the new place.
        t.setPosition = [](Instance* i, RunObject* o, std::int32_t x, std::int32_t y) {
            Of(i)->originX = x - Of(i)->offset;
            o->y = y;
            Place(Of(i), o);
        };
        t.setX = [](Instance* i, RunObject* o, std::int32_t x) {
            Of(i)->originX = x - Of(i)->offset;
            Place(Of(i), o);
        };
        t.setY = [](Instance*, RunObject* o, std::int32_t y) {
            o->y = y;
            if (services && services->objectMoved) services->objectMoved(o);
        };
        // A new sweep from where the object stands, the whole span in the direction given (leftwards for
        // directions that point left, rightwards for those that point right; straight up or down changes
        // nothing). The object does not move.
        t.setDirection = [](Instance* i, RunObject* o, std::int32_t direction) {
            PatrolInstance* p = Of(i);
            const std::int32_t d = direction & 31;
            if (!o || d == 8 || d == 24) return;
            const bool left = d > 8 && d < 24;
            p->step = left ? -1 : 1;
            p->offset = left ? std::max(p->span, 0) : 0;
            p->originX = o->x - p->offset;
        };
        t.stop = [](Instance* i, RunObject*, std::int32_t) { Of(i)->stopped = true; };
        t.bounce = [](Instance* i, RunObject*, std::int32_t) { Of(i)->step = -Of(i)->step; };
        t.reverse = [](Instance* i, RunObject*) { Of(i)->step = -Of(i)->step; };
        t.start = [](Instance* i, RunObject*) { Of(i)->stopped = false; };
        t.setSpeed = [](Instance* i, RunObject*, std::int32_t v) { Of(i)->speed = std::clamp(v, 0, 100); };
        t.getSpeed = [](Instance* i, RunObject*) { return Of(i)->stopped ? 0 : Of(i)->speed; };
        t.getDirection = [](Instance* i, RunObject*) {
            return Of(i)->step > 0 ? DirectionRight : DirectionLeft;
        };
        return t;
    }();
    return table;
}

const movement::PluginOperations& PluginTable() {
    static const movement::PluginOperations table = [] {
        movement::PluginOperations t{};
        t.size = sizeof(t);
        t.slots = movement::PluginOperationSlots;
        t.release = [](Plugin* p) { delete static_cast<PatrolPlugin*>(p); };
        t.setData = [](Plugin* p, const std::uint8_t* data, std::uint32_t size, std::int32_t) {
            if (!data || size < 4) return;
            auto* settings = static_cast<PatrolPlugin*>(p);
            settings->speed = static_cast<std::int16_t>(data[0] | data[1] << 8);
            settings->span = static_cast<std::int16_t>(data[2] | data[3] << 8);
        };
        t.createInstance = [](Plugin*) -> Instance* {
            auto* instance = new (std::nothrow) PatrolInstance;
            if (instance) instance->operations = &InstanceTable();
            return instance;
        };
        return t;
    }();
    return table;
}

} // namespace

// The patrol is the module's only movement, whatever the identifier.
extern "C" __attribute__((visibility("default"))) movement::Plugin* CreateMvt(std::uint32_t,
                                                                              const movement::Services* s) {
    services = s;
    auto* plugin = new (std::nothrow) PatrolPlugin;
    if (plugin) plugin->operations = &PluginTable();
    return plugin;
}
