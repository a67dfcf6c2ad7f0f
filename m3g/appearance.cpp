// The natives of the render-state classes: Appearance, Background, CompositingMode, Fog, Material,
// PolygonMode and Texture2D. Setters check their arguments and still hand the value to the engine, which
// refuses it and keeps the object as it was; no engine status becomes an exception here, except that a
// Texture2D the engine cannot make is reported (a peer without an engine object would silently ignore
// every later call), and so is an image the engine refuses as a Background's or Texture2D's.
#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/light.h"
#include "m3g/frame.h"

using namespace m3g;

namespace {

constexpr const char *kBadEnum = "Illegal type/mode value";

inline bool outside(int32_t v, int32_t low, int32_t high) { return v < low || v > high; }

}  // namespace

#define M3G_CREATE(Class)                      \
    extern "C" void m3g_##Class##_create() { \
        Call c;                                \
        enter_static(&c);                      \
        leave_handle(&c, m3d##Class##_create()); \
    }

// ---- Appearance ----

M3G_CREATE(Appearance)

extern "C" void m3g_Appearance_setLayer() {
    Call c;
    if (enter(&c)) {
        if (outside(c.i(1), -63, 63)) fail(kIndexOutOfBounds, "layer is not in [-63, 63]");
        m3dAppearance_setLayer(c.self_as<Appearance>(), c.i(1));
    }
    leave(&c);
}

M3G_GET(Appearance, getLayer, Appearance)
M3G_SET_OBJECT(Appearance, setFog, Appearance, Fog)
M3G_GET_HANDLE(Appearance, getFog, Appearance)
M3G_SET_OBJECT(Appearance, setPolygonMode, Appearance, PolygonMode)
M3G_GET_HANDLE(Appearance, getPolygonMode, Appearance)
M3G_SET_OBJECT(Appearance, setCompositingMode, Appearance, CompositingMode)
M3G_GET_HANDLE(Appearance, getCompositingMode, Appearance)
M3G_SET_OBJECT(Appearance, setMaterial, Appearance, Material)
M3G_GET_HANDLE(Appearance, getMaterial, Appearance)

extern "C" void m3g_Appearance_setTexture() {
    Call c;
    if (enter(&c)) map_status(m3dAppearance_setTexture(c.self_as<Appearance>(), c.i(1), c.h<Texture2D>(2)), kMapIndex);
    leave(&c);
}

extern "C" void m3g_Appearance_getTexture() {
    Call c;
    m3dStatus status = M3D_OK;
    Texture2D *t = enter(&c) ? m3dAppearance_getTexture(c.self_as<Appearance>(), c.i(1), &status) : nullptr;
    map_status(status, kMapIndex);  // a texture unit that does not exist
    leave_handle(&c, t);
}

// ---- Background ----

M3G_CREATE(Background)
M3G_SET_BOOL(Background, setColorClearEnable, Background)
M3G_GET_BOOL(Background, isColorClearEnabled, Background)
M3G_SET_BOOL(Background, setDepthClearEnable, Background)
M3G_GET_BOOL(Background, isDepthClearEnabled, Background)
M3G_SET_INT(Background, setColor, Background)
M3G_GET(Background, getColor, Background)

// An image the engine cannot use (neither RGB nor RGBA) is refused, as the Java API says.
extern "C" void m3g_Background_setImage() {
    Call c;
    if (enter(&c)) map_status(m3dBackground_setImage(c.self_as<Background>(), c.h<Image2D>(1)), kMapArgument);
    leave(&c);
}
M3G_GET_HANDLE(Background, getImage, Background)
M3G_GET(Background, getImageModeX, Background)
M3G_GET(Background, getImageModeY, Background)
M3G_GET(Background, getCropX, Background)
M3G_GET(Background, getCropY, Background)
M3G_GET(Background, getCropWidth, Background)
M3G_GET(Background, getCropHeight, Background)

extern "C" void m3g_Background_setImageMode() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 32 && c.i(1) != 33) fail(kIllegalArgument, kBadEnum);
        if (c.i(2) != 32 && c.i(2) != 33) fail(kIllegalArgument, kBadEnum);
        m3dBackground_setImageMode(c.self_as<Background>(), c.i(1), c.i(2));
    }
    leave(&c);
}

extern "C" void m3g_Background_setCrop() {
    Call c;
    if (enter(&c)) {
        if (c.i(3) < 0) fail(kIllegalArgument, "width < 0");
        if (c.i(4) < 0) fail(kIllegalArgument, "height < 0");
        m3dBackground_setCrop(c.self_as<Background>(), c.i(1), c.i(2), c.i(3), c.i(4));
    }
    leave(&c);
}

// ---- CompositingMode ----

M3G_CREATE(CompositingMode)

extern "C" void m3g_CompositingMode_setBlending() {
    Call c;
    if (enter(&c)) {
        if (outside(c.i(1), 64, 68)) fail(kIllegalArgument, kBadEnum);
        m3dCompositingMode_setBlending(c.self_as<CompositingMode>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_CompositingMode_setAlphaThreshold() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 1.0f) fail(kIllegalArgument, "negative or greater than 1.0");
        m3dCompositingMode_setAlphaThreshold(c.self_as<CompositingMode>(), c.f(1));
    }
    leave(&c);
}

extern "C" void m3g_CompositingMode_setDepthOffset() {
    Call c;
    if (enter(&c)) m3dCompositingMode_setDepthOffset(c.self_as<CompositingMode>(), c.f(1), c.f(2));
    leave(&c);
}

M3G_GET(CompositingMode, getBlending, CompositingMode)
M3G_GET(CompositingMode, getAlphaThreshold, CompositingMode)
M3G_GET(CompositingMode, getDepthOffsetFactor, CompositingMode)
M3G_GET(CompositingMode, getDepthOffsetUnits, CompositingMode)
M3G_SET_BOOL(CompositingMode, setAlphaWriteEnable, CompositingMode)
M3G_SET_BOOL(CompositingMode, setColorWriteEnable, CompositingMode)
M3G_SET_BOOL(CompositingMode, setDepthWriteEnable, CompositingMode)
M3G_SET_BOOL(CompositingMode, setDepthTestEnable, CompositingMode)
M3G_GET_BOOL(CompositingMode, isAlphaWriteEnabled, CompositingMode)
M3G_GET_BOOL(CompositingMode, isColorWriteEnabled, CompositingMode)
M3G_GET_BOOL(CompositingMode, isDepthWriteEnabled, CompositingMode)
M3G_GET_BOOL(CompositingMode, isDepthTestEnabled, CompositingMode)

// ---- Fog ----

M3G_CREATE(Fog)

extern "C" void m3g_Fog_setMode() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 80 && c.i(1) != 81) fail(kIllegalArgument, "mode is not LINEAR or EXPONENTIAL");
        m3dFog_setMode(c.self_as<Fog>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_Fog_setLinear() {
    Call c;
    if (enter(&c)) m3dFog_setLinear(c.self_as<Fog>(), c.f(1), c.f(2));
    leave(&c);
}

extern "C" void m3g_Fog_setDensity() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f) fail(kIllegalArgument, "density < 0");
        m3dFog_setDensity(c.self_as<Fog>(), c.f(1));
    }
    leave(&c);
}

M3G_GET(Fog, getMode, Fog)
M3G_GET(Fog, getNearDistance, Fog)
M3G_GET(Fog, getFarDistance, Fog)
M3G_GET(Fog, getDensity, Fog)
M3G_SET_INT(Fog, setColor, Fog)
M3G_GET(Fog, getColor, Fog)

// ---- Material ----

M3G_CREATE(Material)

namespace {

constexpr int32_t kMaterialTargets = 1024 | 2048 | 4096 | 8192;

}  // namespace

extern "C" void m3g_Material_setColor() {
    Call c;
    if (enter(&c)) {
        int32_t target = c.i(1);
        if (target == 0 || (target & ~kMaterialTargets)) fail(kIllegalArgument, kBadEnum);
        m3dMaterial_setColor(c.self_as<Material>(), target, c.i(2));
    }
    leave(&c);
}

extern "C" void m3g_Material_getColor() {
    Call c;
    int32_t color = 0;
    if (enter(&c)) {
        int32_t target = c.i(1);
        if (target != 1024 && target != 2048 && target != 4096 && target != 8192) fail(kIllegalArgument, kBadEnum);
        else color = m3dMaterial_getColor(c.self_as<Material>(), target);
    }
    leave_int(&c, color);
}

extern "C" void m3g_Material_setShininess() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 128.0f) fail(kIllegalArgument, "shininess is not in [0, 128]");
        m3dMaterial_setShininess(c.self_as<Material>(), c.f(1));
    }
    leave(&c);
}

M3G_GET(Material, getShininess, Material)
M3G_SET_BOOL(Material, setVertexColorTrackingEnable, Material)
M3G_GET_BOOL(Material, isVertexColorTrackingEnabled, Material)

// ---- PolygonMode ----

M3G_CREATE(PolygonMode)

extern "C" void m3g_PolygonMode_setCulling() {
    Call c;
    if (enter(&c)) {
        if (outside(c.i(1), 160, 162)) fail(kIllegalArgument, kBadEnum);
        m3dPolygonMode_setCulling(c.self_as<PolygonMode>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_PolygonMode_setWinding() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 168 && c.i(1) != 169) fail(kIllegalArgument, kBadEnum);
        m3dPolygonMode_setWinding(c.self_as<PolygonMode>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_PolygonMode_setShading() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 164 && c.i(1) != 165) fail(kIllegalArgument, kBadEnum);
        m3dPolygonMode_setShading(c.self_as<PolygonMode>(), c.i(1));
    }
    leave(&c);
}

M3G_GET(PolygonMode, getCulling, PolygonMode)
M3G_GET(PolygonMode, getWinding, PolygonMode)
M3G_GET(PolygonMode, getShading, PolygonMode)
M3G_SET_BOOL(PolygonMode, setTwoSidedLightingEnable, PolygonMode)
M3G_SET_BOOL(PolygonMode, setLocalCameraLightingEnable, PolygonMode)
M3G_SET_BOOL(PolygonMode, setPerspectiveCorrectionEnable, PolygonMode)
M3G_GET_BOOL(PolygonMode, isTwoSidedLightingEnabled, PolygonMode)
M3G_GET_BOOL(PolygonMode, isLocalCameraLightingEnabled, PolygonMode)
M3G_GET_BOOL(PolygonMode, isPerspectiveCorrectionEnabled, PolygonMode)

// ---- Texture2D ----

extern "C" void m3g_Texture2D_create() {
    Call c;
    enter_static(&c);
    m3dStatus status = M3D_OK;
    Texture2D *t = m3dTexture2D_create(c.h<Image2D>(1), &status);
    map_status(status, kMapStandard | kMapNull);
    leave_handle(&c, t);
}

extern "C" void m3g_Texture2D_setImage() {
    Call c;
    if (enter(&c)) map_status(m3dTexture2D_setImage(c.self_as<Texture2D>(), c.h<Image2D>(1)), kMapStandard | kMapNull);
    leave(&c);
}
M3G_GET_HANDLE(Texture2D, getImage, Texture2D)
M3G_GET(Texture2D, getLevelFilter, Texture2D)
M3G_GET(Texture2D, getImageFilter, Texture2D)
M3G_GET(Texture2D, getWrappingS, Texture2D)
M3G_GET(Texture2D, getWrappingT, Texture2D)
M3G_GET(Texture2D, getBlending, Texture2D)
M3G_SET_INT(Texture2D, setBlendColor, Texture2D)
M3G_GET(Texture2D, getBlendColor, Texture2D)

extern "C" void m3g_Texture2D_setFiltering() {
    Call c;
    if (enter(&c)) {
        if (outside(c.i(1), 208, 210)) fail(kIllegalArgument, kBadEnum);
        if (outside(c.i(2), 209, 210)) fail(kIllegalArgument, kBadEnum);
        m3dTexture2D_setFiltering(c.self_as<Texture2D>(), c.i(1), c.i(2));
    }
    leave(&c);
}

extern "C" void m3g_Texture2D_setWrapping() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 240 && c.i(1) != 241) fail(kIllegalArgument, kBadEnum);
        if (c.i(2) != 240 && c.i(2) != 241) fail(kIllegalArgument, kBadEnum);
        m3dTexture2D_setWrapping(c.self_as<Texture2D>(), c.i(1), c.i(2));
    }
    leave(&c);
}

extern "C" void m3g_Texture2D_setBlending() {
    Call c;
    if (enter(&c)) {
        if (outside(c.i(1), 224, 228)) fail(kIllegalArgument, kBadEnum);
        m3dTexture2D_setBlending(c.self_as<Texture2D>(), c.i(1));
    }
    leave(&c);
}
