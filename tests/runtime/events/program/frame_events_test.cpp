#include "events_fixture.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "core/runtime_services.h"
#include "startup/frame_loader.h"

#include "appwriter/frame_writer.h"

using namespace eventtest;
using appwriter::StringForm;

namespace {

struct FrameDeleter {
    void operator()(FrameRecord* f) const { FreeFrame(f); }
};

class FrameEventsLoading : public ::testing::TestWithParam<StringForm> {
protected:
    void TearDown() override {
        frame_.reset();
        app_.reset();
        SetCurrentApplication(nullptr);
    }
    FrameRecord* Load(const appwriter::Bytes& payload, int* error) {
        appwriter::ApplicationDescription d;
        d.form = GetParam();
        appwriter::FrameContents contents;
        contents.layers = {{0, 1.0f, 1.0f, 0, 0, u"Layer"}};
        contents.events = payload;
        d.frames.push_back(appwriter::DescribeFrame(640, 480, 0, contents, GetParam(), 0));
        bytes_ = appwriter::WriteApplication(d);
        app_ = loadertest::LoadFromMemory(bytes_);
        if (!app_) return nullptr;
        SetCurrentApplication(app_.get());
        frame_.reset(LoadFrame(0, error));
        return frame_.get();
    }

    appwriter::Bytes bytes_;
    loadertest::RecordPtr app_;
    std::unique_ptr<FrameRecord, FrameDeleter> frame_;
};

EventProgramBuilder Program(StringForm form) {
    EventProgramBuilder b(form);
    EventGroupDesc g;
    EventRecordDesc a = Action(TypeSpecial, 5);
    a.parameters.push_back(appwriter::StringParameter(u"caf\u00e9"));
    g.actions.push_back(a);
    b.AddGroup(g);
    return b;
}

} // namespace

TEST_P(FrameEventsLoading, FrameLoaderReadsTheEventsChunkInUtf16) {
    int error = 0;
    FrameRecord* frame = Load(Program(GetParam()).ChunkPayload(), &error);
    ASSERT_NE(frame, nullptr) << error;
    ASSERT_NE(frame->events, nullptr);
    EXPECT_EQ(frame->events->stored, Program(StringForm::Wide).Program());
}

TEST_P(FrameEventsLoading, DamagedEventsChunkFailsTheFrame) {
    appwriter::Bytes payload = Program(GetParam()).ChunkPayload();
    payload[Program(GetParam()).HeaderItem().size() + 4] = 1; // "ERes" smaller than the groups
    int error = 0;
    EXPECT_EQ(Load(payload, &error), nullptr);
    EXPECT_NE(error, 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, FrameEventsLoading, ::testing::Values(StringForm::Wide, StringForm::Ansi),
                         [](const auto& info) {
                             return std::string(info.param == StringForm::Wide ? "Wide" : "Ansi");
                         });
