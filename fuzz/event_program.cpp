// Reads arbitrary bytes as a frame's events chunk (8-bit or UTF-16 by the first byte) and prepares the
// program over a few object infos, with a qualifier among them. Seeds: with EVENT_SEEDS set to a folder,
// programs from the writer are written there before the run.
#include "startup/event_program.h"
#include "core/frame_run_state.h"
#include "events/event_preparation.h"

#include "appwriter/event_program_builder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Fixture {
    Fixture() : entries(5) {
        const std::int16_t types[4] = {2, 2, 3, 2};
        for (int i = 0; i < 4; ++i) {
            entries[i].handle = static_cast<std::int16_t>(10 + i);
            entries[i].objectType = types[i];
            entries[i].objectFlags = i == 1 ? 0x1000 : 0x200;
            std::memset(entries[i].qualifiers, 0xFF, sizeof(entries[i].qualifiers));
            entries[i].qualifiers[0] = static_cast<std::int16_t>(i % 2 ? 3 : 0x8003);
        }
        std::memset(&entries[4], 0xFF, sizeof(entries[4]));
        std::memset(&state, 0, sizeof(state));
        state.objectInfos = entries.data();
        state.objectInfoCount = 4;
    }
    std::vector<vtrrt::ObjectInfoRunEntry> entries;
    vtrrt::FrameRunState state;
};

void WriteSeed(const std::string& folder, const std::string& name, appwriter::StringForm form,
               const appwriter::EventProgramBuilder& b) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    const char first = form == appwriter::StringForm::Wide ? 1 : 0;
    out.write(&first, 1);
    const auto bytes = b.ChunkPayload(2);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteSeeds(const std::string& folder) {
    using namespace appwriter;
    for (StringForm form : {StringForm::Wide, StringForm::Ansi}) {
        EventProgramBuilder b(form);
        b.objectInfoCount = 4;
        b.conditionCounts[6] = 40;
        b.conditionCounts[1] = 12;
        b.conditionCounts[9] = 5;
        b.qualifiers.push_back({0x8003, 2});
        EventGroupDesc g;
        EventRecordDesc c;
        c.type = 2;
        c.number = -14;
        c.objectInfo = 10;
        c.parameters.push_back(ObjectParameter(0x8003, 2));
        g.conditions.push_back(c);
        EventRecordDesc orc;
        orc.type = -1;
        orc.number = -25;
        g.conditions.push_back(orc);
        EventRecordDesc loop;
        loop.type = -1;
        loop.number = -16;
        loop.runFlags = 0x20;
        loop.parameters.push_back(ExpressionParameter(45, ExpressionBuilder().String(u"loop")));
        g.conditions.push_back(loop);
        EventRecordDesc a;
        a.type = 2;
        a.number = 4;
        a.objectInfo = 12;
        a.parameters.push_back(PositionParameter(21, 11, 2));
        a.parameters.push_back(ExpressionParameter(
            22, ExpressionBuilder().Object(2, 11, 13).Operator(OperatorAddCode).Open().Integer(2).Close()));
        a.parameters.push_back(SampleParameter(6, 1, 0, u"boom"));
        a.parameters.push_back(FileParameter(40, u"file.txt"));
        a.parameters.push_back(GroupParameter(u"title", u"pw", 7));
        a.parameters.push_back(GroupReferenceParameter(0));
        a.parameters.push_back(StringParameter(u"text"));
        a.parameters.push_back(IntParameter(43, 1));
        g.actions.push_back(a);
        b.AddGroup(g);
        b.AddGroup(g);
        WriteSeed(folder, form == StringForm::Wide ? "wide" : "ansi", form, b);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("EVENT_SEEDS")) WriteSeeds(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static Fixture fixture;
    vtrrt::FrameEvents events;
    const bool unicode = (data[0] & 1) != 0;
    vtrrt::ReadFrameEvents(events, {data + 1, size - 1}, unicode, 1252);
    if (vtrrt::PrepareFrameEvents(events, fixture.state) == 0) {
        vtrrt::ScanEventsForObstacleTypes(events.program);
        vtrrt::ForEachEventSoundParameter(
            events.program, [](std::uint8_t*, int, void*) {}, nullptr);
        vtrrt::ForEachEventFileParameter(
            events.program, [](int, char16_t*, std::size_t, void*) {}, nullptr);
        // A second preparation starts again from the stored bytes.
        vtrrt::PrepareFrameEvents(events, fixture.state);
    }
    return 0;
}
