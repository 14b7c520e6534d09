#include "appwriter/sample_applications.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/menu_writer.h"
#include "appwriter/object_writer.h"

namespace appwriter {

namespace {

Bytes Palette(std::uint8_t seed) {
    Bytes p{0x00, 0x03, 0x00, 0x01};
    for (int i = 0; i < 256 * 4; ++i)
        p.push_back(static_cast<std::uint8_t>(seed + i));
    return p;
}

// A frame runs only with its layer array: one layer.
void AddLayer(FrameDesc& frame, StringForm form) {
    frame.extra.push_back({ChunkFrameLayers, 0, LayersPayload({LayerDesc{}}, form)});
}

Bytes Effect(std::uint8_t options) {
    Bytes e(20, 0);
    e[12] = options;
    return e;
}

} // namespace

ApplicationDescription FullApplication(StringForm form) {
    ApplicationDescription app;
    app.form = form;
    app.header->flags1 = 0x0001;
    app.header->windowWidth = 320;
    app.header->windowHeight = 200;
    app.header->initialScore = 1000;
    app.header->initialLives = 5;
    app.header->controlKeys[2][4] = 0x26;
    app.header->frameRate = 50;
    app.codePage = 1252;
    app.name = u"Café Quest €";
    app.author = u"Someone";
    app.copyright = u"© 2026 Studio";
    app.projectPath = u"C:\\Projects\\Café\\quest.vtp";
    app.targetPath = u"C:\\Build\\quest.exe";
    app.helpFile = u"C:\\Build\\help.txt";
    app.aboutText = u"About Café Quest";
    app.menuData = WriteMenuData({{u"&File", 0, 0, {{u"&Quit", 1008, 0, {}}}}}, {{0x08, 'Q', 1008}});
    app.icon = Bytes{9, 9, 9};
    app.frameHandles = std::vector<std::uint16_t>{0, 2, 0xFFFF, 1};
    app.globalValues = Bytes{10, 0, 0, 0, 20, 0, 0, 0};
    app.globalStrings = std::vector<std::u16string>{u"first", u"", u"naïve"};
    app.imageList = std::vector<ImageListEntry>{{0, 3}, {1, 7}};
    app.effects = std::vector<Bytes>{Effect(0x20), Effect(0x02)};
    app.extendedOptions = Bytes{0x20, 0, 0, 0};
    app.runOptions = std::array<std::uint32_t, 2>{2, 5};
    app.embeddedFiles = std::vector<EmbeddedFileDesc>{
        {u"C:\\Build\\data\\level.txt", Bytes{'l', 'v', 'l'}},
        {u"D:\\elsewhere\\music.mid", Bytes{'M', 'T', 'h', 'd', 0}},
    };
    FrameDesc first;
    first.name = u"Title";
    first.palette = Palette(1);
    FrameDesc second;
    second.width = 800;
    second.password = u"Sésame";
    second.palette = Palette(2);
    second.extra.push_back({0x3338, 0, Bytes(24, 0)});
    app.frames = {first, second, FrameDesc{}};
    for (FrameDesc& frame : app.frames)
        AddLayer(frame, form);
    return app;
}

const std::vector<std::uint16_t>& ChunksReadWithoutKey() {
    static const std::vector<std::uint16_t> ids{
        ChunkAppHeader, ChunkAppName,      ChunkAppCopyright, ChunkAppProjectPath,     ChunkAppTargetPath,
        ChunkAppMenu,   ChunkAppImageList, ChunkEffectBank,   ChunkAppExtendedOptions, ChunkAppCodePage};
    return ids;
}

const std::vector<std::uint16_t>& ChunksReadWithKey() {
    static const std::vector<std::uint16_t> ids{ChunkAppHelpFile, ChunkAppAboutText, ChunkFrameHandles,
                                                ChunkGlobalValues, ChunkGlobalStrings};
    return ids;
}

void ApplyChunkFlags(ApplicationDescription& app, std::uint16_t flags) {
    for (auto id : ChunksReadWithoutKey())
        app.chunkFlags[id] = flags & ChunkCompressed;
    for (auto id : ChunksReadWithKey())
        app.chunkFlags[id] = flags;
    for (auto& frame : app.frames)
        frame.subChunkFlags = flags;
}

// Object definitions of the kinds the loader reads (actives with animations and movements, a backdrop) with
// the image, font and sound banks and their offsets, and a frame placing them.
ApplicationDescription ObjectsApplication(StringForm form) {
    ApplicationDescription app;
    app.form = form;
    app.name = u"Objects";
    std::vector<ObjectInfoDesc> objects;
    for (std::uint16_t handle : {1, 2}) {
        ObjectInfoDesc o;
        o.handle = handle;
        o.name = handle == 1 ? u"Walker" : u"Bouncer";
        // A sprite that keeps what lies under it (0x04), with movement, animation, values and sprite blocks.
        o.definition.objectFlags = 0x04 | 0x10 | 0x20 | 0x100 | 0x200;
        o.definition.values = {3, -7};
        o.definition.strings = {u"first", u"second"};
        o.definition.qualifiers = {100};
        AnimationDesc walking;
        walking.number = 1;
        walking.directions.push_back({0, 20, 80, 0, 0, {1, 2}});
        walking.directions.push_back({16, 20, 80, 2, 1, {2}});
        o.definition.animations = {walking};
        MovementDesc movement;
        movement.type = handle == 1 ? 0 : 4;
        movement.directionMask = 0xFF;
        if (handle == 2) movement.data = {40, 0, 3, 0, 2, 0, 100, 0, 0, 0};
        o.definition.movements = {movement};
        objects.push_back(o);
    }
    ObjectInfoDesc backdrop;
    backdrop.handle = 3;
    backdrop.type = 1;
    backdrop.name = u"Wall";
    backdrop.definition.width = 16;
    backdrop.definition.height = 8;
    backdrop.definition.image = 2;
    backdrop.definition.obstacle = 1;
    objects.push_back(backdrop);
    ImageItemDesc tall;
    tall.width = 3;
    tall.height = 9;
    const BankPayload images = WriteImageBank({ImageItemDesc{}, tall});
    const BankPayload fonts = WriteFontBank({FontItemDesc{}}, form);
    const BankPayload sounds = WriteSoundBank({SoundItemDesc{}}, form);
    const auto offsets = [](const BankPayload& bank) {
        std::vector<std::uint32_t> o = bank.offsets;
        o.insert(o.begin(), 0);
        return WriteBankOffsets(o);
    };
    app.extra.push_back({ChunkObjectInfos, 0, WriteObjectInfos(objects, form, KeyOf(app))});
    app.extra.push_back({ChunkImageBank, 0, images.items});
    app.extra.push_back({ChunkImageOffsets, 0, offsets(images)});
    app.extra.push_back({ChunkFontBank, 0, fonts.items});
    app.extra.push_back({ChunkFontOffsets, 0, offsets(fonts)});
    app.extra.push_back({ChunkSoundBank, 0, sounds.items});
    app.extra.push_back({ChunkSoundOffsets, 0, offsets(sounds)});
    FrameContents contents;
    contents.instances =
        std::vector<InstanceDesc>{{1, 1, 20, 20, 0, 0, 0}, {2, 2, 60, 40, 0, 0, 0}, {3, 3, 0, 100, 0, 0, 0}};
    app.frames.push_back(DescribeFrame(320, 200, 0x102030, contents, form));
    return app;
}

ApplicationDescription ChildApplication() {
    ApplicationDescription app;
    app.name = u"Child";
    app.header->windowWidth = ChildFrameWidth;
    app.header->windowHeight = ChildFrameHeight;
    app.header->graphicMode = 8;
    // u16 count, the values' 32-bit slots, then one type byte each (0: an integer).
    app.globalValues = Bytes{2, 0, 5, 0, 0, 0, 6, 0, 0, 0, 0, 0};
    app.globalStrings = std::vector<std::u16string>{u"one", u"two"};
    // A left click (the keyboard and mouse object's condition -5, button 0) goes to the next frame (the
    // storyboard's action 0).
    EventRecordDesc click;
    click.type = -6;
    click.number = -5;
    click.parameters = {ShortParameter(3, 0)};
    EventRecordDesc next;
    next.type = -3;
    next.number = 0;
    EventGroupDesc onClick;
    onClick.conditions = {click};
    onClick.actions = {next};
    for (std::uint32_t colour : ChildFrameColours) {
        EventProgramBuilder events;
        events.conditionCounts[-6 + 7] = 12;
        events.AddGroup(onClick);
        FrameContents contents;
        contents.layers[0].flags = 0x10;
        contents.events = events.ChunkPayload();
        app.frames.push_back(DescribeFrame(ChildFrameWidth, ChildFrameHeight, colour, contents));
    }
    return app;
}

std::vector<NamedApplication> SampleApplications() {
    std::vector<NamedApplication> samples;
    ApplicationDescription minimal;
    minimal.name = u"Minimal";
    minimal.frames.resize(1);
    AddLayer(minimal.frames[0], minimal.form);
    samples.push_back({"minimal", minimal});
    for (StringForm form : {StringForm::Ansi, StringForm::Wide}) {
        for (std::uint16_t flags = 0; flags < 4; ++flags) {
            ApplicationDescription app = FullApplication(form);
            ApplyChunkFlags(app, flags);
            samples.push_back({std::string(form == StringForm::Wide ? "full-wide" : "full-ansi") + "-flags" +
                                   std::to_string(flags),
                               app});
        }
        samples.push_back({std::string(form == StringForm::Wide ? "objects-wide" : "objects-ansi"),
                           ObjectsApplication(form)});
    }
    samples.push_back({"child", ChildApplication()});
    return samples;
}

} // namespace appwriter
