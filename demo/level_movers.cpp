#include "level_movers.h"

#include "frame_flow.h"

#include "appwriter/byte_writer.h"

#include <array>

namespace {

constexpr std::uint16_t Player = 6, Ball = 7, Post = 8, Lift = 9, PenFloor = 47;
// Object flags: erased where it was (0x04), a movement, an animation, a sprite.
constexpr std::uint32_t MoverFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t KeyedInk = 0x10000000;
constexpr std::uint16_t BallMovement = 4, PathMovement = 5, PlatformMovement = 9;
constexpr std::uint32_t Up = 1u << 8;
// The platform movement's jump key: fire 2, the space bar.
constexpr std::uint16_t JumpWithFire2 = 3;

constexpr int PostWidth = 8, PostHeight = PenFloorY;
constexpr std::array<int, 2> PostX{PenLeft, PenRight - PostWidth};
// The balls start rising in the pen.
constexpr std::array<std::array<int, 2>, 4> BallStarts{{{240, 120}, {404, 120}, {300, 60}, {350, 20}}};

// Object types, conditions and actions the events use.
constexpr std::int16_t Active = 2;
constexpr std::int16_t LeavesPlayArea = -12, MeetsBackdrop = -13, MeetsObject = -14;
constexpr std::int16_t SetX = 2, SetY = 3, Stop = 4, Bounce = 9;
constexpr std::int16_t PlayerType = -7, SubtractLives = 7;
constexpr std::int16_t ParamBorders = 3, ParamExpression = 22;
constexpr std::int16_t AllBorders = 0xF, BottomBorder = 0x8;
constexpr std::uint16_t PlayerOne = 0;
// The player's keys: up, down, left, right, then fire 1 and 2.
constexpr std::array<std::uint16_t, 8> ArrowKeys{0x26, 0x28, 0x25, 0x27, 0x11, 0x20, 0, 0};

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (g << 8) | (b << 16);
}

// A square image on a transparent (black) key, in 32-bit pixels (blue, green, red, 0); `colour` gives the
// RGB of each pixel, 0 for the key.
template <typename Colour> appwriter::ImageItemDesc Image(int side, Colour colour) {
    appwriter::ImageItemDesc image;
    image.width = image.height = static_cast<std::int16_t>(side);
    image.graphicMode = 8;
    image.transparent = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::uint32_t rgb = colour(x, y);
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb), 0});
        }
    return image;
}

// The player: an orange block with rounded corners and a dark rim.
appwriter::ImageItemDesc PlayerImage() {
    return Image(PlayerSize, [](int x, int y) -> std::uint32_t {
        const int dx = std::min(x, PlayerSize - 1 - x), dy = std::min(y, PlayerSize - 1 - y);
        if (dx + dy < 3) return 0;
        if (dx < 2 || dy < 2) return Rgb(0x50, 0x28, 0x10);
        return Rgb(PlayerColour[0], PlayerColour[1], PlayerColour[2]);
    });
}

// The lift: a grey-blue bar with a darker rim.
appwriter::ImageItemDesc LiftImage() {
    appwriter::ImageItemDesc image;
    image.width = LiftWidth;
    image.height = LiftHeight;
    image.graphicMode = 8;
    image.transparent = 0;
    for (int y = 0; y < LiftHeight; ++y)
        for (int x = 0; x < LiftWidth; ++x) {
            const bool rim = x < 2 || y < 2 || x >= LiftWidth - 2 || y >= LiftHeight - 2;
            const std::uint32_t rgb = rim ? Rgb(0x30, 0x40, 0x60) : Rgb(0x70, 0x90, 0xC0);
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb), 0});
        }
    return image;
}

// One node LiftSpan pixels to the right at speed 8 (a pixel a loop), travelled back at its end, and again.
appwriter::Bytes LiftPath() {
    appwriter::ByteWriter w;
    for (std::uint16_t v : {1, 0, 100})
        w.U16(v);
    for (std::uint8_t v : {1, 0, 1, 0, 0, 18, 8, 0})
        w.U8(v);
    for (std::uint16_t v : {LiftSpan, 0, 16384, 0, LiftSpan, 0, 0})
        w.U16(static_cast<std::uint16_t>(v));
    return w.Data();
}

// A ball: a red disc.
appwriter::ImageItemDesc BallImage() {
    return Image(BallSize, [](int x, int y) -> std::uint32_t {
        const int dx = 2 * x - BallSize + 1, dy = 2 * y - BallSize + 1;
        return dx * dx + dy * dy <= BallSize * BallSize ? Rgb(0xE0, 0x30, 0x50) : 0;
    });
}

appwriter::ObjectInfoDesc Mover(std::uint16_t handle, const char16_t* name, std::uint16_t image,
                                appwriter::MovementDesc movement) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.name = name;
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = MoverFlags;
    appwriter::AnimationDesc walking;
    walking.number = 1;
    walking.directions.push_back({0, 0, 0, 0, 0, {image}});
    o.definition.animations = {walking};
    o.definition.movements = {std::move(movement)};
    return o;
}

appwriter::Bytes Words(std::initializer_list<std::uint32_t> words, bool lastIs32) {
    appwriter::ByteWriter w;
    std::size_t i = 0;
    for (std::uint32_t v : words) {
        if (lastIs32 && ++i == words.size())
            w.U32(v);
        else
            w.U16(static_cast<std::uint16_t>(v));
    }
    return w.Data();
}

appwriter::EventRecordDesc On(std::int16_t number, std::uint16_t object,
                              std::vector<appwriter::EventParameterDesc> parameters = {}) {
    appwriter::EventRecordDesc r;
    r.type = Active;
    r.number = number;
    r.objectInfo = object;
    r.parameters = std::move(parameters);
    return r;
}

appwriter::EventGroupDesc When(appwriter::EventRecordDesc condition, std::int16_t action,
                               std::uint16_t object) {
    appwriter::EventGroupDesc g;
    g.conditions = {std::move(condition)};
    g.actions = {On(action, object)};
    return g;
}

} // namespace

void AddMoverObjects(appwriter::ApplicationDescription& d, DemoObjects& all) {
    d.header->controlKeys[0] = ArrowKeys;

    // Maximum speed 30, acceleration and deceleration 60, gravity 10 and a jump of strength 50.
    appwriter::MovementDesc walker;
    walker.type = PlatformMovement;
    walker.player = 1;
    walker.directionMask = 1; // facing right
    walker.data = Words({30, 60, 60, JumpWithFire2, 10, 50}, false);
    all.objects.push_back(Mover(Player, u"Player", all.AddImage(PlayerImage()), walker));

    appwriter::MovementDesc lift;
    lift.type = PathMovement;
    lift.directionMask = 1;
    lift.data = LiftPath();
    all.objects.push_back(Mover(Lift, u"Lift", all.AddImage(LiftImage()), lift));

    // Speed 30, a little randomness, 32 directions, nudged off the axes at once.
    appwriter::MovementDesc ball;
    ball.type = BallMovement;
    ball.directionMask = Up;
    ball.data = Words({30, 10, 2, 100, 0}, false);
    all.objects.push_back(Mover(Ball, u"Ball", all.AddImage(BallImage()), ball));

    appwriter::ObjectInfoDesc post;
    post.handle = Post;
    post.type = 0;
    post.name = u"Post";
    post.definition.type = 0;
    post.definition.shape = 2;
    post.definition.fillType = 1;
    post.definition.colour1 = Rgb(0x80, 0x70, 0x60);
    post.definition.obstacle = 1;
    post.definition.width = PostWidth;
    post.definition.height = PostHeight;
    all.objects.push_back(post);
    appwriter::ObjectInfoDesc floor = post;
    floor.handle = PenFloor;
    floor.name = u"Pen floor";
    floor.definition.width = PenRight - PenLeft;
    floor.definition.height = PenFloorHeight;
    all.objects.push_back(floor);
}

std::vector<appwriter::EventGroupDesc> PlaceMovers(std::vector<appwriter::InstanceDesc>& level,
                                                   std::int16_t layer) {
    for (int x : PostX)
        level.push_back({0, Post, x, 0, 0, 0, layer});
    level.push_back({0, PenFloor, PenLeft, PenFloorY, 0, 0, layer});
    level.push_back({0, Player, PlayerStartX, PlayerStartY, 0, 0, layer});
    level.push_back({0, Lift, 0, LiftY, 0, 0, layer});
    for (const auto& [x, y] : BallStarts)
        level.push_back({0, Ball, x, y, 0, 0, layer});

    // The player stops at what it meets (and so lands and stands on the lift) and at the play area's sides
    // and top; falling off the bottom costs a life and puts it back where it started. The balls bounce off
    // everything.
    const appwriter::EventParameterDesc anyBorder = appwriter::ShortParameter(ParamBorders, AllBorders);
    const auto to = [](std::int16_t action, std::int32_t value) {
        appwriter::EventRecordDesc r = On(
            action, Player,
            {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(value))});
        return r;
    };
    appwriter::EventRecordDesc lifeLost =
        Record(PlayerType, SubtractLives,
               {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(1))});
    lifeLost.objectInfo = PlayerOne;
    appwriter::EventGroupDesc fall;
    fall.conditions = {On(LeavesPlayArea, Player, {appwriter::ShortParameter(ParamBorders, BottomBorder)})};
    fall.actions = {lifeLost, On(Stop, Player), to(SetX, PlayerStartX), to(SetY, PlayerStartY)};
    return {When(On(MeetsBackdrop, Player), Stop, Player),
            When(On(LeavesPlayArea, Player,
                    {appwriter::ShortParameter(ParamBorders, AllBorders & ~BottomBorder)}),
                 Stop, Player),
            fall,
            When(On(MeetsObject, Player, {appwriter::ObjectParameter(Lift, Active)}), Stop, Player),
            When(On(MeetsBackdrop, Ball), Bounce, Ball),
            When(On(LeavesPlayArea, Ball, {anyBorder}), Bounce, Ball),
            When(On(MeetsObject, Ball, {appwriter::ObjectParameter(Player, Active)}), Bounce, Ball)};
}
