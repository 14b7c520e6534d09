#include "level_movers.h"

#include "appwriter/byte_writer.h"

#include <array>

namespace {

constexpr std::uint16_t Player = 6, Ball = 7, Post = 8;
// Object flags: erased where it was (0x04), a movement, an animation, a sprite.
constexpr std::uint32_t MoverFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t KeyedInk = 0x10000000;
constexpr std::uint16_t EightDirections = 3, BallMovement = 4;
// The eight directions of the stick: right, up-right, up, ... (bit d for direction d).
constexpr std::uint32_t EightWays = 0x11111111;
constexpr std::uint32_t Up = 1u << 8;

// The pen: two posts from the top of the play area down to the ground, with the middle platform between.
constexpr int PostWidth = 8, PostHeight = 360;
constexpr std::array<int, 2> PostX{220, 440};
constexpr int BallSize = 16;
// The balls start rising in the pen, clear of the platform's columns when they start below it.
constexpr std::array<std::array<int, 2>, 4> BallStarts{{{240, 300}, {404, 300}, {300, 120}, {350, 60}}};

// Object types, conditions and actions the events use.
constexpr std::int16_t Active = 2;
constexpr std::int16_t LeavesPlayArea = -12, MeetsBackdrop = -13, MeetsObject = -14;
constexpr std::int16_t Stop = 4, Bounce = 9;
constexpr std::int16_t ParamBorders = 3;
constexpr std::int16_t AllBorders = 0xF;
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

std::vector<appwriter::EventGroupDesc> AddLevelMovers(appwriter::ApplicationDescription& d, DemoObjects& all,
                                                      std::vector<appwriter::InstanceDesc>& level) {
    d.header->controlKeys[0] = ArrowKeys;

    // Maximum speed 40, acceleration and deceleration 60, the eight directions of the stick.
    appwriter::MovementDesc stick;
    stick.type = EightDirections;
    stick.player = 1;
    stick.directionMask = 1; // facing right
    stick.data = Words({40, 60, 60, 0, EightWays}, true);
    all.objects.push_back(Mover(Player, u"Player", all.AddImage(PlayerImage()), stick));

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

    auto n = static_cast<std::uint16_t>(level.size() + 1);
    for (int x : PostX)
        level.push_back({n++, Post, x, 0, 0, 0, 0});
    level.push_back({n++, Player, PlayerStartX, PlayerStartY, 0, 0, 0});
    for (const auto& [x, y] : BallStarts)
        level.push_back({n++, Ball, x, y, 0, 0, 0});

    // The player stops at what it meets and at the play area's edges; the balls bounce off everything.
    const appwriter::EventParameterDesc anyBorder = appwriter::ShortParameter(ParamBorders, AllBorders);
    return {When(On(MeetsBackdrop, Player), Stop, Player),
            When(On(LeavesPlayArea, Player, {anyBorder}), Stop, Player),
            When(On(MeetsBackdrop, Ball), Bounce, Ball),
            When(On(LeavesPlayArea, Ball, {anyBorder}), Bounce, Ball),
            When(On(MeetsObject, Ball, {appwriter::ObjectParameter(Player, Active)}), Bounce, Ball)};
}
