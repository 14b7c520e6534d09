// FluidSynth, loaded on the first use of the MIDI sequencer rather than with the layer: a program that plays
// no music never maps it and the many libraries it brings.
#pragma once

#include <fluidsynth.h>

namespace win32::detail {

#define VTR_FLUID_FUNCTIONS(X)                                                                               \
    X(new_fluid_settings)                                                                                    \
    X(delete_fluid_settings)                                                                                 \
    X(fluid_settings_setnum)                                                                                 \
    X(fluid_settings_setstr)                                                                                 \
    X(fluid_settings_setint)                                                                                 \
    X(new_fluid_synth)                                                                                       \
    X(delete_fluid_synth)                                                                                    \
    X(fluid_is_soundfont)                                                                                    \
    X(fluid_synth_sfload)                                                                                    \
    X(fluid_synth_system_reset)                                                                              \
    X(fluid_synth_all_sounds_off)                                                                            \
    X(fluid_synth_write_float)                                                                               \
    X(fluid_synth_get_active_voice_count)                                                                    \
    X(fluid_set_log_function)                                                                                \
    X(new_fluid_player)                                                                                      \
    X(delete_fluid_player)                                                                                   \
    X(fluid_player_add_mem)                                                                                  \
    X(fluid_player_play)                                                                                     \
    X(fluid_player_stop)                                                                                     \
    X(fluid_player_get_status)                                                                               \
    X(fluid_player_get_current_tick)                                                                         \
    X(fluid_player_get_total_ticks)

struct FluidLibrary {
#define VTR_FLUID_MEMBER(name) decltype(&::name) name;
    VTR_FLUID_FUNCTIONS(VTR_FLUID_MEMBER)
#undef VTR_FLUID_MEMBER
};

// Loaded once and kept; null when the library or one of its functions is missing.
const FluidLibrary* Fluid();

} // namespace win32::detail
