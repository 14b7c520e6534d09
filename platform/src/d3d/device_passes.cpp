// Drawing through an effect pass's program: the textures of the stages it samples, each with its own
// sampler states, and the common uniforms of the draw.
#include "device.h"

#include "render_states.h"
#include "texture.h"

namespace win32::d3d {

bool Device::PreparePass(bool line) {
    return PrepareProgram(pass_, line);
}

bool Device::PrepareProgram(const PassProgram& pass, bool line) {
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
        if (!(pass.stages & (1u << stage))) continue;
        const auto& s = stageStates_[stage];
        Texture* texture = dynamic_cast<Texture*>(textures_[stage]);
        glActiveTexture(GL_TEXTURE0 + stage);
        // An empty stage samples as opaque black, as GL's incomplete texture 0 does.
        glBindTexture(GL_TEXTURE_2D, texture ? texture->Name() : 0);
        if (texture)
            ApplySamplerStates(s[D3DTSS_MAGFILTER], s[D3DTSS_MINFILTER], s[D3DTSS_MIPFILTER],
                               s[D3DTSS_ADDRESSU], s[D3DTSS_ADDRESSV], s[D3DTSS_MAXANISOTROPY]);
    }
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(pass.program);
    SetCommonUniforms(
        pass.common, CommonInputs{static_cast<float>(target_->Width()), static_cast<float>(target_->Height()),
                                  line ? 0.5f : 0.0f, renderStates_[D3DRS_ALPHATESTENABLE] != 0,
                                  renderStates_[D3DRS_ALPHAFUNC], renderStates_[D3DRS_ALPHAREF]});
    return true;
}

} // namespace win32::d3d
