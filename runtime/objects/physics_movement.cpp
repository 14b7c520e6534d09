// The physics-engine movement: an object handed over to a physics-engine extension waits hidden until it is
// attached, then takes its position and angle from the engine each loop; without an engine it flies by its
// own speed and direction and goes once it is well outside the frame.
#include "objects/physics_movement.h"

#include "events/selection.h"
#include "objects/animations.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"

#include "vtrs2/sprites.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace vtrrt {

namespace {

constexpr int AnimationShooting = 6;
constexpr std::int32_t CullMargin = 64;

struct [[gnu::packed]] PhysicsBlock {
    std::int32_t attachPending;
    // The object attached to and the engine, by handle and creation number (-1: none).
    std::int32_t attachedHandle;
    std::int32_t attachedCreation;
    std::int32_t engineHandle;
    std::int32_t engineCreation;
    std::intptr_t handle; // the engine's link handle, 0 = none
    physics::Link* link;
};
static_assert(sizeof(PhysicsBlock) <= sizeof(ObjectMovementBlock::typeData));

// The objects given a physics movement, by frame, slot and creation number: a destruction looks through these
// for shots to launch instead of through every object of the frame (in a crowd, a pass over the frame for
// each object destroyed). Entries whose object has gone are dropped as they are met.
struct PhysicsObject {
    const FrameRunState* run;
    std::int32_t handle;
    std::uint16_t creation;
};
std::vector<PhysicsObject> physicsObjects;

PhysicsBlock* PhysicsOf(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || x->movementType != MovementPhysics || x->movementRoutine != PhysicsMovementHandler)
        return nullptr;
    return reinterpret_cast<PhysicsBlock*>(b->typeData);
}

RunObject* ObjectBy(const RunObject* o, std::int32_t handle, std::int32_t creation) {
    const FrameRunState* s = o ? o->runState : nullptr;
    if (!s || !s->objects || handle < 0 || handle >= s->maxObjects) return nullptr;
    RunObject* found = s->objects[handle].object;
    return found && found->creationNumber == static_cast<std::uint16_t>(creation) ? found : nullptr;
}

// The engine's table of routines, when its record holds a usable one.
const physics::Engine* EngineOf(RunObject* engine) {
    if (!engine || engine->recordSize < RunObjectBlocksStart + sizeof(void*)) return nullptr;
    const physics::Engine* e = nullptr;
    std::memcpy(&e, reinterpret_cast<const std::uint8_t*>(engine) + RunObjectBlocksStart, sizeof(e));
    if (!e || e->size < sizeof(physics::Engine) || e->version < 1 || !e->attach || !e->detach || !e->step)
        return nullptr;
    return e;
}

bool IsPhysicsMovement(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x || x->movementType != MovementExtension || !MovementInstanceOf(o)) return false;
    const std::uint32_t id = CurrentMovementIdentifier(o);
    return std::find(physics::MovementIdentifiers.begin(), physics::MovementIdentifiers.end(), id) !=
           physics::MovementIdentifiers.end();
}

physics::MovementInstance* PhysicsInstanceOf(RunObject* o) {
    auto* instance = reinterpret_cast<physics::MovementInstance*>(MovementInstanceOf(o));
    if (!instance || instance->size < sizeof(physics::MovementInstance) || instance->version < 1)
        return nullptr;
    return instance;
}

physics::Body* BodyOf(RunObject* o) {
    physics::MovementInstance* instance = PhysicsInstanceOf(o);
    return instance ? instance->body : nullptr;
}

void SetCollidable(RunObject* o, int value) {
    RunObjectExtended* x = ExtendedOf(o);
    if (x && x->sprite) SetSpriteCollidable(SpritesOfFrame(), static_cast<Sprite*>(x->sprite), value);
}

} // namespace

RunObject* FindPhysicsEngineObject() {
    const FrameRunState* s = CurrentRunState();
    if (!s || !s->objects) return nullptr;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot) {
        RunObject* o = s->objects[slot].object;
        if (o && o->objectType >= 32 && o->identifier == physics::EngineIdentifier) return o;
    }
    return nullptr;
}

physics::Body* GetPhysicsMovementBody(RunObject* o) {
    if (!o || (o->runFlags & ObjectDisappearing) || !IsPhysicsMovement(o)) return nullptr;
    return BodyOf(o);
}

bool HasPhysicsMovement(RunObject* o) {
    return IsPhysicsMovement(o);
}

bool RequestPhysicsMovement(RunObject* o, physics::Request& request) {
    if (!IsPhysicsMovement(o)) return false;
    physics::MovementInstance* instance = PhysicsInstanceOf(o);
    request.size = sizeof(request);
    return instance && instance->request && instance->request(instance, o, &request) != 0;
}

bool TurnPhysicsBody(RunObject* o, float degrees) {
    physics::MovementInstance* instance = GetPhysicsMovementBody(o) ? PhysicsInstanceOf(o) : nullptr;
    if (!instance || !instance->setAngle) return false;
    instance->setAngle(instance, o, degrees);
    return true;
}

bool PhysicsBodyAngle(RunObject* o, float& degrees) {
    physics::MovementInstance* instance = GetPhysicsMovementBody(o) ? PhysicsInstanceOf(o) : nullptr;
    if (!instance || !instance->getAngle) return false;
    const float angle = instance->getAngle(instance, o);
    if (angle == physics::NoAngle) return false;
    degrees = angle;
    return true;
}

void InitPhysicsMovement(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    std::memset(b->typeData, 0, sizeof(b->typeData));
    auto* p = reinterpret_cast<PhysicsBlock*>(b->typeData);
    p->attachedHandle = p->engineHandle = -1;
    if (RunObject* engine = FindPhysicsEngineObject()) {
        p->engineHandle = engine->handle;
        p->engineCreation = engine->creationNumber;
    }
    x->movementRoutine = PhysicsMovementHandler;
    SetCollidable(o, 0);
    if (ObjectSpriteBlock* sb = SpriteBlockOf(o)) {
        sb->displayFlags &= static_cast<std::uint16_t>(~DisplayFlashShown);
        HideObject(o);
    }
    p->attachPending = 1;
    physicsObjects.push_back({o->runState, o->handle, o->creationNumber});
    o->xFraction = o->yFraction = 0;
    x->minimumSpeed = x->maximumSpeed = x->speed;
    if (o->objectFlags & ObjectHasAnimation) ResetObjectAnimation(o);
    x->changed = 1;
}

void SetPhysicsAttachedObject(RunObject* o, RunObject* attached) {
    if (PhysicsBlock* p = PhysicsOf(o); p && attached) {
        p->attachedHandle = attached->handle;
        p->attachedCreation = attached->creationNumber;
    }
}

void SetUpPhysicsLink(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    PhysicsBlock* p = PhysicsOf(o);
    if (!p) return;
    SetCollidable(o, 1);
    if (ObjectSpriteBlock* sb = SpriteBlockOf(o)) {
        sb->displayFlags |= DisplayFlashShown;
        ShowObject(o);
    }
    RunObject* engine = ObjectBy(o, p->engineHandle, p->engineCreation);
    const physics::Engine* routines = EngineOf(engine);
    physics::Body* body = GetPhysicsMovementBody(ObjectBy(o, p->attachedHandle, p->attachedCreation));
    if (routines && body && !p->link) {
        auto* link = new (std::nothrow) physics::Link{};
        if (link) {
            link->size = sizeof(physics::Link);
            link->version = physics::InterfaceVersion;
            link->engineWord = routines->word;
            link->owner = o;
            link->kind = physics::LinkKind;
            link->engine = engine;
            const float speed = static_cast<float>(x->speed) / 250.0f * 50.0f;
            p->handle = routines->attach(engine, body, speed, link);
            link->handle = p->handle;
            if (p->handle)
                p->link = link;
            else
                delete link;
        }
    }
    p->attachPending = 0;
}

MovementBlockBytes PhysicsOwnedBytes() {
    return {offsetof(ObjectMovementBlock, typeData) + offsetof(PhysicsBlock, handle),
            sizeof(std::intptr_t) + sizeof(physics::Link*)};
}

void FreePhysicsLink(RunObject* o) {
    PhysicsBlock* p = PhysicsOf(o);
    if (!p) return;
    if (p->handle) {
        if (const physics::Engine* e = EngineOf(ObjectBy(o, p->engineHandle, p->engineCreation)))
            e->detach(ObjectBy(o, p->engineHandle, p->engineCreation), p->handle);
        p->handle = 0;
    }
    delete p->link;
    p->link = nullptr;
}

void ForgetPhysicsObjects(const FrameRunState* s) {
    std::erase_if(physicsObjects, [&](const PhysicsObject& e) { return e.run == s; });
}

void RelinkAttachedPhysicsObjects(RunObject* o) {
    const FrameRunState* s = o ? o->runState : nullptr;
    if (!s || !s->objects) return;
    // In slot order, as a pass over the frame would take them.
    std::vector<RunObject*> waiting;
    for (std::size_t i = 0; i < physicsObjects.size();) {
        const PhysicsObject& e = physicsObjects[i];
        RunObject* c = e.run == s ? ObjectBy(o, e.handle, e.creation) : nullptr;
        if (e.run == s && (!c || !PhysicsOf(c))) {
            physicsObjects[i] = physicsObjects.back();
            physicsObjects.pop_back();
            continue;
        }
        ++i;
        PhysicsBlock* p = c && c != o ? PhysicsOf(c) : nullptr;
        if (p && p->attachPending && ObjectBy(c, p->attachedHandle, p->attachedCreation) == o)
            waiting.push_back(c);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const RunObject* a, const RunObject* b) { return a->handle < b->handle; });
    waiting.erase(std::unique(waiting.begin(), waiting.end()), waiting.end());
    for (RunObject* c : waiting)
        SetUpPhysicsLink(c);
}

void PhysicsMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    PhysicsBlock* p = PhysicsOf(o);
    FrameRunState* s = o ? o->runState : nullptr;
    if (!x || !p || !s) return;
    if (p->attachPending) {
        RunObject* attached = ObjectBy(o, p->attachedHandle, p->attachedCreation);
        const ObjectAnimationBlock* a = attached ? AnimationOf(attached) : nullptr;
        // Launched once the attached object's shooting animation is over.
        if (a && a->current == AnimationShooting) return;
        SetUpPhysicsLink(o);
    }
    if (p->handle) {
        if (x->animationRoutine) x->animationRoutine(o);
        RunObject* engine = ObjectBy(o, p->engineHandle, p->engineCreation);
        if (const physics::Engine* e = EngineOf(engine)) {
            std::int32_t nx = o->x, ny = o->y;
            float angle = x->angle;
            e->step(engine, p->handle, &nx, &ny, &angle);
            o->x = nx;
            o->y = ny;
            if (angle != x->angle) {
                x->angle = angle;
                TakeObjectImageInfo(o);
            }
        }
        x->direction = 0;
        x->changed = 1;
    } else {
        if (x->animationRoutine) x->animationRoutine(o);
        MoveObjectStep(o, x->speed, x->direction);
        if (PhysicsOf(o) != p) return;
    }
    const FrameRecord* frame = s->frame;
    const std::int32_t width = frame ? frame->width : 0, height = frame ? frame->height : 0;
    if (o->x < -CullMargin || o->x > width + CullMargin || o->y < -CullMargin || o->y > height + CullMargin) {
        if (o->handle >= 0 && o->handle < s->maxObjects && s->objects)
            s->objects[o->handle].routine = nullptr;
        MarkObjectForDestroy(o->handle);
    }
}

} // namespace vtrrt
