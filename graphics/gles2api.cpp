#include "graphics/gles2api.h"

#include <cstdint>

#include "graphics/glgraphics.h"

namespace {

template <typename T> bool Look(T& slot, const char* name, const char*& missing) {
    void* address = GLProcAddress(name);
    // Object and function pointers have the same size on every system this runs on.
    slot = reinterpret_cast<T>(reinterpret_cast<intptr_t>(address));
    if (!address && !missing) missing = name;
    return address != nullptr;
}

} // namespace

bool TGLES2Api::Load(const char*& missing) {
    missing = nullptr;
    bool ok = true;
    ok &= Look(GenBuffers, "glGenBuffers", missing);
    ok &= Look(DeleteBuffers, "glDeleteBuffers", missing);
    ok &= Look(BindBuffer, "glBindBuffer", missing);
    ok &= Look(BufferData, "glBufferData", missing);
    ok &= Look(BufferSubData, "glBufferSubData", missing);
    ok &= Look(CreateShader, "glCreateShader", missing);
    ok &= Look(ShaderSource, "glShaderSource", missing);
    ok &= Look(CompileShader, "glCompileShader", missing);
    ok &= Look(GetShaderiv, "glGetShaderiv", missing);
    ok &= Look(GetShaderInfoLog, "glGetShaderInfoLog", missing);
    ok &= Look(DeleteShader, "glDeleteShader", missing);
    ok &= Look(CreateProgram, "glCreateProgram", missing);
    ok &= Look(AttachShader, "glAttachShader", missing);
    ok &= Look(BindAttribLocation, "glBindAttribLocation", missing);
    ok &= Look(LinkProgram, "glLinkProgram", missing);
    ok &= Look(GetProgramiv, "glGetProgramiv", missing);
    ok &= Look(GetProgramInfoLog, "glGetProgramInfoLog", missing);
    ok &= Look(DeleteProgram, "glDeleteProgram", missing);
    ok &= Look(UseProgram, "glUseProgram", missing);
    ok &= Look(GetUniformLocation, "glGetUniformLocation", missing);
    ok &= Look(Uniform1i, "glUniform1i", missing);
    ok &= Look(UniformMatrix4fv, "glUniformMatrix4fv", missing);
    ok &= Look(VertexAttribPointer, "glVertexAttribPointer", missing);
    ok &= Look(EnableVertexAttribArray, "glEnableVertexAttribArray", missing);
    ok &= Look(DisableVertexAttribArray, "glDisableVertexAttribArray", missing);
    // Optional: under their core names, else the extension's.
    const char* optional = nullptr;
    auto either = [&optional](auto& slot, const char* name, const char* ext) {
        if (!Look(slot, name, optional)) Look(slot, ext, optional);
    };
    either(GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    either(DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    either(BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    either(FramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    either(CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    return ok;
}

bool TGLES2Api::HasFramebuffers() const {
    return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && FramebufferTexture2D &&
           CheckFramebufferStatus;
}
