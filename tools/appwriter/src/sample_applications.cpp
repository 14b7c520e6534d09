#include "appwriter/sample_applications.h"

#include "appwriter/frame_writer.h"
#include "appwriter/menu_writer.h"

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
        app.chunkFlags[id] = flags & ChunkFlagCompressed;
    for (auto id : ChunksReadWithKey())
        app.chunkFlags[id] = flags;
    for (auto& frame : app.frames)
        frame.subChunkFlags = flags;
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
    }
    return samples;
}

} // namespace appwriter
