// The link between the runtime and a physics-engine object extension. An object whose movement hands it over
// to the engine (movement type 13, also the movement of shot objects) is attached to an object that carries
// a physics movement (a movement module with one of the identifiers below); the runtime asks the engine for
// a link, then takes the object's position and angle from the engine each loop, and lets the link go when
// the object goes. Records are versioned and sized, with pointer-sized fields where pointers are held.
#pragma once

#include "plugin/movement.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vtrrt {
struct RunObject;
}

namespace physics {

using vtrrt::RunObject;

constexpr std::uint32_t FourCharacters(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

// The definition identifier of the engine extension (the record's identifier word).
constexpr std::uint32_t EngineIdentifier = FourCharacters('V', 'P', 'E', 'N');
// The identifiers of the physics movements (the identifier word of their movement-list entries).
constexpr std::array<std::uint32_t, 9> MovementIdentifiers{
    FourCharacters('V', 'P', 'M', '0'), FourCharacters('V', 'P', 'M', '1'),
    FourCharacters('V', 'P', 'M', '2'), FourCharacters('V', 'P', 'M', '3'),
    FourCharacters('V', 'P', 'M', '4'), FourCharacters('V', 'P', 'M', '5'),
    FourCharacters('V', 'P', 'M', '6'), FourCharacters('V', 'P', 'M', '7'),
    FourCharacters('V', 'P', 'M', '8')};

constexpr std::uint32_t InterfaceVersion = 1;

struct Body; // the engine's own

// A request of the events to a physics movement: actions hand it values, expressions ask for one back.
struct Request {
    std::uint32_t size; // sizeof(Request)
    std::int32_t code;  // the action's or the expression's number x 256
    std::int32_t values[2];
    float real; // the float value of the one action that takes one (code 0x4A00), its integer in values[1]
    std::int32_t integerAnswer;
    double realAnswer;
};

struct MovementInstance;
// 1 when the movement took the request.
using RequestRoutine = std::int32_t (*)(MovementInstance*, RunObject*, Request*);

// What a body answers for its angle when it has none.
constexpr float NoAngle = 123456792.0f;

// The instance a physics movement module makes for each object: the movement instance, then the body the
// engine simulates for the object, the routine that takes the events' requests and the body's angle.
struct MovementInstance {
    movement::Instance instance;
    std::uint32_t size; // sizeof(MovementInstance) as the module was built
    std::uint32_t version;
    Body* body;
    RequestRoutine request;
    void (*setAngle)(MovementInstance*, RunObject*, float degrees);
    float (*getAngle)(MovementInstance*, RunObject*); // NoAngle: none
};

// One link, made by the runtime for an attached object and handed to the engine's attach routine.
struct Link {
    std::uint32_t size; // sizeof(Link)
    std::uint32_t version;
    std::uintptr_t engineWord; // the engine's own word (Engine::word)
    RunObject* owner;          // the attached object
    std::intptr_t handle;      // the engine's answer to attach
    std::int32_t kind;         // LinkKind
    RunObject* engine;         // the engine object
    std::uint8_t reserved[56];
};
constexpr std::int32_t LinkKind = 9;

// What the engine object holds at the start of its own data (RunObjectBlocksStart in its record): a pointer
// to this table.
struct Engine {
    std::uint32_t size; // sizeof(Engine) as the extension was built
    std::uint32_t version;
    std::uintptr_t word;
    // The body of the object it is attached to and the object's speed (speed / 250 x 50); 0 refuses.
    std::intptr_t (*attach)(RunObject* engine, Body* attachedBody, float speed, Link* link);
    void (*detach)(RunObject* engine, std::intptr_t handle);
    // The object's position (frame coordinates) and angle in degrees.
    void (*step)(RunObject* engine, std::intptr_t handle, std::int32_t* x, std::int32_t* y, float* angle);
};

static_assert(offsetof(MovementInstance, body) == 16 && sizeof(MovementInstance) == 48);
static_assert(sizeof(Request) == 32);
static_assert(offsetof(Link, owner) == 16 && offsetof(Link, engine) == 40 && sizeof(Link) == 104);
static_assert(offsetof(Engine, attach) == 16 && sizeof(Engine) == 40);

} // namespace physics
