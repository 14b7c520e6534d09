// A frame clock that answers the questions the frame asks: each wait while a question is asked plays the
// next step of a script (clicks posted to the frame window); a script that runs out asks the run to end, so
// that a test never hangs. Time is the inner clock's.
#pragma once

#include "builtin/question_object.h"
#include "core/frame_clock.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"

#include "win32/user.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace questiontest {

class AnsweringClock final : public vtrrt::FrameClock {
public:
    using Step = std::function<void(const vtrrt::QuestionLayout&)>;
    explicit AnsweringClock(vtrrt::FrameClock& inner) : inner_(inner) {}
    win32::DWORD Now() override { return inner_.Now(); }
    void WaitForMessage(win32::DWORD timeoutMs) override {
        inner_.WaitForMessage(timeoutMs);
        const vtrrt::QuestionLayout* asked = vtrrt::QuestionAsked();
        if (!asked) return;
        ++waitsWhileAsked;
        if (script.empty()) {
            ADD_FAILURE() << "the question is still asked";
            vtrrt::RequestEndOfRun();
            return;
        }
        const Step step = std::move(script.front());
        script.pop_front();
        step(*asked);
    }
    std::deque<Step> script;
    int waitsWhileAsked = 0;

private:
    vtrrt::FrameClock& inner_;
};

inline win32::POINT Centre(const win32::RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
inline void Post(win32::UINT message, win32::POINT at) {
    win32::PostMessageW(vtrrt::Services().frameWindow, message, message == win32::WM_LBUTTONDOWN ? 1 : 0,
                        win32::MAKELPARAM(at.x, at.y));
}
// Steps: a press or a release over an answer (from 0), or both.
inline AnsweringClock::Step Press(int answer) {
    return [answer](const vtrrt::QuestionLayout& q) {
        Post(win32::WM_LBUTTONDOWN, Centre(q.answers.at(answer)));
    };
}
inline AnsweringClock::Step Release(int answer) {
    return
        [answer](const vtrrt::QuestionLayout& q) { Post(win32::WM_LBUTTONUP, Centre(q.answers.at(answer))); };
}
inline AnsweringClock::Step Click(int answer) {
    return [answer](const vtrrt::QuestionLayout& q) {
        Post(win32::WM_LBUTTONDOWN, Centre(q.answers.at(answer)));
        Post(win32::WM_LBUTTONUP, Centre(q.answers.at(answer)));
    };
}

} // namespace questiontest
