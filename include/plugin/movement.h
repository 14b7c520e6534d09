// The interface of movement modules: plug-ins that move objects with movements of their own. A module's
// CreateMvt gives a MovementPlugin for one stored movement; the plugin makes one MovementPluginInstance for
// each object that takes the movement, and the runtime drives the instance once per loop and with the
// movement actions. Both carry a table of operations in slot order with the number of slots the module
// fills, so that no call reaches past it. A module reaches the runtime through the MovementServices table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtrrt {
struct RunObject;
}

namespace movement {

using vtrrt::RunObject;

struct Plugin;
struct Instance;

// Character forms of the data handed to SetData.
constexpr std::int32_t DataWide = 3;
constexpr std::int32_t DataAnsi = 1;

struct InstanceOperations {
    std::uint32_t size;  // sizeof(InstanceOperations) as the module was built
    std::uint32_t slots; // how many of the slots below the module fills, from slot 0
    void* unused0;
    void (*initialise)(Instance*, Plugin*, RunObject*); // 1
    void (*free)(Instance*);                            // 2: the instance frees itself
    std::int32_t (*interfaceVersion)(Instance*);        // 3: above 1, slot 26 exists
    std::int32_t (*handle)(Instance*, RunObject*);      // 4: one loop; nonzero when the object moved
    void (*setPosition)(Instance*, RunObject*, std::int32_t x, std::int32_t y); // 5
    void (*setX)(Instance*, RunObject*, std::int32_t x);                        // 6
    void (*setY)(Instance*, RunObject*, std::int32_t y);                        // 7
    // 8, 9: duringOwnMove is 1 when the call comes from an event raised inside the object's own move.
    void (*stop)(Instance*, RunObject*, std::int32_t duringOwnMove);
    void (*bounce)(Instance*, RunObject*, std::int32_t duringOwnMove);
    void (*reverse)(Instance*, RunObject*);                         // 10
    void (*start)(Instance*, RunObject*);                           // 11
    void (*setSpeed)(Instance*, RunObject*, std::int32_t);          // 12
    void (*setMaximumSpeed)(Instance*, RunObject*, std::int32_t);   // 13
    void (*setDirection)(Instance*, RunObject*, std::int32_t);      // 14
    void (*setAcceleration)(Instance*, RunObject*, std::int32_t);   // 15
    void (*setDeceleration)(Instance*, RunObject*, std::int32_t);   // 16
    void (*setRotatingSpeed)(Instance*, RunObject*, std::int32_t);  // 17
    void (*setDirectionMask)(Instance*, RunObject*, std::uint32_t); // 18
    void (*setGravity)(Instance*, RunObject*, std::int32_t);        // 19
    void* unused20;
    std::intptr_t (*service)(Instance*, RunObject*, std::intptr_t a, std::intptr_t b); // 21
    std::int32_t (*getSpeed)(Instance*, RunObject*);                                   // 22
    std::int32_t (*getAcceleration)(Instance*, RunObject*);                            // 23
    std::int32_t (*getDeceleration)(Instance*, RunObject*);                            // 24
    std::int32_t (*getGravity)(Instance*, RunObject*);                                 // 25
    std::int32_t (*getDirection)(Instance*, RunObject*);                               // 26
};

constexpr std::uint32_t InstanceOperationSlots = 27;
static_assert(offsetof(InstanceOperations, initialise) == 8 + 1 * sizeof(void*));
static_assert(offsetof(InstanceOperations, stop) == 8 + 8 * sizeof(void*));
static_assert(offsetof(InstanceOperations, service) == 8 + 21 * sizeof(void*));
static_assert(offsetof(InstanceOperations, getDirection) == 8 + 26 * sizeof(void*));
static_assert(sizeof(InstanceOperations) == 8 + InstanceOperationSlots * sizeof(void*));

struct Instance {
    const InstanceOperations* operations;
};

struct PluginOperations {
    std::uint32_t size;
    std::uint32_t slots;
    void (*release)(Plugin*); // 0: when the definition that holds the movement is unloaded
    // 1: the movement's stored data (from byte 26 of the movement data), handed over by the loader.
    void (*setData)(Plugin*, const std::uint8_t* data, std::uint32_t size, std::int32_t form);
    void* unused[23];
    Instance* (*createInstance)(Plugin*); // 25: null when the module makes none
};

constexpr std::uint32_t PluginOperationSlots = 26;
static_assert(offsetof(PluginOperations, createInstance) == 8 + 25 * sizeof(void*));
static_assert(sizeof(PluginOperations) == 8 + PluginOperationSlots * sizeof(void*));

struct Plugin {
    const PluginOperations* operations;
};

// What the runtime offers movement modules (and object extensions): positions are frame coordinates.
struct Services {
    std::uint32_t size; // sizeof(Services)
    std::uint32_t version;
    std::int32_t (*randomDirectionInMask)(std::uint32_t mask);
    std::int32_t (*moveObjectByOwnSpeed)(RunObject*);
    // 1 found (x, y set), 0 not: the nearest free position to (x1, y1) on the segment to (x2, y2).
    std::int32_t (*findFreePosition)(RunObject*, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                     std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                                     std::int32_t* y);
    // 1 free, 0 blocked.
    std::int32_t (*testObjectPosition)(RunObject*, std::int32_t x, std::int32_t y, std::int32_t height,
                                       std::int32_t kind, std::int32_t excludeOwnInfo);
    std::int32_t (*getPlayerControls)(RunObject*, std::int32_t player);
    std::int32_t (*testRectAgainstBackdrops)(RunObject*, std::int32_t x, std::int32_t y, std::int32_t width,
                                             std::int32_t height, std::int32_t layer, std::int32_t kind);
    std::int32_t (*testPointAgainstBackground)(RunObject*, std::int32_t x, std::int32_t y, std::int32_t layer,
                                               std::int32_t kind);
    std::intptr_t (*callMovementService)(RunObject*, std::intptr_t a, std::intptr_t b);
    void (*setObjectPosition)(RunObject*, std::int32_t x, std::int32_t y);
    // Raises the move counter, stamps the object and reports its move (borders, backdrops, objects).
    void (*objectMoved)(RunObject*);
};

constexpr std::uint32_t ServicesVersion = 1;

// Bound by name in a movement module; the object loader calls it once per stored movement of the module
// with the movement's identifier, and the module keeps the services for as long as it is loaded. Null: the
// module makes no movement of that identifier.
inline constexpr const char* CreateMovementName = "CreateMvt";
using CreateMovementRoutine = Plugin* (*)(std::uint32_t identifier, const Services* services);

} // namespace movement
