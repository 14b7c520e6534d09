#include "builtin/system_objects.h"

#include "builtin/common_objects.h"
#include "builtin/counters.h"
#include "builtin/question_object.h"
#include "builtin/sub_application.h"
#include "builtin/text_object.h"
#include "startup/event_program.h"

namespace vtrrt {

void InstallSystemObjectRoutines() {
    InstallSpecialObjectRoutines();
    InstallTimerRoutines();
    InstallKeyboardMouseRoutines();
    InstallStoryboardRoutines();
    InstallSpeakerRoutines();
    InstallCreateObjectRoutines();
    InstallCommonConditionRoutines();
    InstallCommonActionRoutines();
    InstallDisplayActionRoutines();
    InstallObjectLoopRoutines();
    InstallCommonExpressionRoutines();
    InstallActiveObjectRoutines();
    InstallPlayerRoutines();
    InstallSpecialServiceRoutines();
    InstallSpecialExpressions();
    InstallCounterRoutines();
    InstallTextRoutines();
    InstallQuestionRoutines();
    InstallSubApplicationRoutines();
}

bool IsNegated(const std::uint8_t* record) {
    return record && (record[RecordNegation] & 1);
}

int Negatable(const std::uint8_t* record, bool result) {
    return result != IsNegated(record) ? 1 : 0;
}

} // namespace vtrrt
