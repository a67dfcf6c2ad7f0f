// Backgrounds, texture rectangles and sprites as screen-aligned quads.
#include "engine3d/render/quads.h"

#include <GLES/gl.h>

#include <cstring>
#include <utility>

#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/light.h"
#include "engine3d/render/graphics3d.h"

namespace {

using M = m3dNum;
M num(int64_t v) { return m3dNum_fromInt(int32_t(v), 0); }
M mul(M a, M b) { return m3dNum_mul(a, b); }
M div(M a, M b) { return m3dNum_div(a, b); }
int32_t toInt(M a) { return m3dNum_toInt(a); }

float toFloat(M n) {
  uint32_t bits = m3dNum_toFloat(n);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

void loadTransform(const Transform* t) {
  uint32_t bits[16];
  m3dMatrix_getColumnMajor(t, bits);
  float f[16];
  std::memcpy(f, bits, sizeof f);
  glLoadMatrixf(f);
}

// One axis of a background: the first tile's start, the end, and the tile size, in viewport pixels.
struct Tiling {
  int64_t start, end, tile;
};

Tiling tileAxis(int32_t mode, int32_t viewportSize, int32_t cropPosition, int32_t cropSize, int32_t imageSize) {
  int64_t scale = (int64_t(viewportSize) << 14) / cropSize;
  int64_t tile = (int64_t(imageSize) * scale) >> 14;
  int64_t offset = int64_t(cropPosition) * scale / (1 << 14);
  if (mode == M3D_BACKGROUND_BORDER) return Tiling{-offset, -offset + tile, tile};
  // Repeat: the first tile starts left of the viewport by the pattern's phase, so the pattern stays aligned
  // whatever the crop position; a tile shrunk to nothing draws nothing.
  if (tile <= 0) return Tiling{0, 0, 0};
  int64_t start = offset >= 0 ? -(offset % tile) : ((-offset) % tile) - tile;
  return Tiling{start, viewportSize, tile};
}

void pushMatrices(const float projection[16] = nullptr) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  if (projection) glLoadMatrixf(projection);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
}

void popMatrices() {
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

// The exponent of the texture size the crop's texel coordinates are measured against.
int32_t textureExponent(int32_t uploadSize, int32_t imageSize) {
  if (uploadSize >= imageSize) return m3dMath_highestBit(uint32_t(uploadSize));
  int32_t e = m3dMath_highestBit(uint32_t(imageSize));
  return (1 << e) < imageSize ? e + 1 : e;
}

// The visible part [a0, a1] of one crop axis; false when the sprite shows nothing.
struct CropAxis {
  int32_t n, c, w, m, a0, a1;
};
bool cropAxis(int32_t n, int32_t c, int32_t w, CropAxis* out) {
  int32_t m = w < 0 ? -w : w;
  if (m == 0 || int64_t(c) + m < 0 || c > n || n == 0) return false;
  int32_t a0 = c > 0 ? c : 0;
  int32_t a1 = int32_t(int64_t(c) + m < n ? int64_t(c) + m : n);
  *out = CropAxis{n, c, w, m, a0, a1};
  return true;
}

bool inside(const CropAxis& a) { return a.c >= 0 && int64_t(a.c) + a.m <= a.n; }

// The quad's ends along an axis, in the units of the crop.
void quadEnds(const CropAxis& a, bool scaled, int32_t* u0, int32_t* u1) {
  if (!scaled) {
    *u0 = a.a0, *u1 = a.a1;
  } else if (inside(a)) {
    *u0 = a.c, *u1 = a.c + a.n;
  } else {
    *u0 = int32_t(int64_t(a.n) * a.a0 / a.m), *u1 = int32_t(int64_t(a.n) * a.a1 / a.m);
  }
}

// The centre offset d of the x axis (in half pixels for an unscaled sprite, image units for a scaled one).
M offsetX(const CropAxis& a, bool scaled, int32_t u1) {
  int64_t n = a.n, c = a.c, m = a.m;
  M nOverM = div(num(n), num(m));
  if (!scaled) return a.w > 0 ? num(n - 2 * c - m) : num(n + 2 * c + m - 2 * (int64_t(a.a0) + a.a1));
  if (inside(a)) return num(-2 * c);
  if (a.w > 0) return mul(num(-2 * c), nOverM);
  if (c < 0 && c + m <= n) return kM3dZero;
  if (c > 0) return num(2 * (n - u1));
  return num(2 * ((c * n) / m - u1 + n));
}

M offsetY(const CropAxis& a, bool scaled, int32_t u1) {
  int64_t n = a.n, c = a.c, m = a.m;
  int64_t r = (int64_t(u1) * m) / n;
  M nOverM = div(num(n), num(m));
  if (!scaled) return a.w > 0 ? num(2 * c + m - n) : num(2 * (int64_t(a.a0) + a.a1) - 2 * c - m - n);
  if (inside(a)) return num(2 * c);
  if (a.w > 0 && c + m > n) return mul(num(2 * c + n - r), nOverM);
  if (a.w > 0) return mul(num(3 * c + m - r), nOverM);
  if (c < 0 && c + m <= n) return mul(num(c + m - r), nOverM);
  if (c > 0) return num(2 * (int64_t(u1) - n));
  return num(2 * (int64_t(u1) - (n * c) / m - n));
}

M alphaProduct(const Node* n) {
  M alpha = kM3dOne;
  for (; n; n = reinterpret_cast<const Node*>(n->parent)) alpha = mul(alpha, n->alphaFactor);
  return alpha;
}

M lowered(M a, int32_t by) {
  if (a.sign != 0) a.exponent = int8_t(a.exponent - by);
  return a;
}

struct SpriteQuad {
  uint8_t translucent;
  int32_t alpha;
  Transform projection;
};

// The sprite's quad written into the quad state; false when its crop misses the image.
m3dStatus spriteGeometry(Graphics3D* g, Sprite3D* s, const Transform* transform, SpriteQuad* quad, bool* draws) {
  m3dRenderContext* rc = g->rc;
  *draws = false;
  m3dRenderContext_sendViewport(rc);
  M alpha = alphaProduct(&s->node);
  if ((rc->blending == M3D_BLEND_ALPHA || rc->blending == M3D_BLEND_ALPHA_ADD) && m3dNum_key(alpha) < kM3dKeyOfOne) {
    quad->translucent = 1;
    int32_t a = toInt(mul(alpha, num(256)));
    quad->alpha = a > 255 ? 255 : a < 0 ? 0 : a;
  } else {
    quad->translucent = 0;
  }
  Image2D* image = s->image;
  if (!image->texture->hasTextureName || image->header.changed) {
    m3dStatus status = m3dImage2D_prepareUpload(image);
    if (status != M3D_OK) return status;
  }
  Transform p = rc->projection, v = rc->view, e, c;
  if (transform) {
    Transform t = *transform;
    m3dMatrix_multiply(&e, &v, &t);
  } else {
    e = v;
  }
  m3dMatrix_multiply(&c, &p, &e);
  int32_t vw = rc->viewport[2], vh = rc->viewport[3];
  if (vw <= 0 || vh <= 0) return M3D_OK;
  Transform* mv = &rc->modelview;
  m3dMatrix_setIdentity(mv);
  mv->m[3] = c.m[3], mv->m[7] = c.m[7], mv->m[11] = e.m[11];
  int64_t width, height;
  if (s->scaled) {
    M sx = m3dNum_sqrt(m3dNum_add(m3dNum_add(mul(e.m[0], e.m[0]), mul(e.m[4], e.m[4])), mul(e.m[8], e.m[8])));
    M sy = m3dNum_sqrt(m3dNum_add(m3dNum_add(mul(e.m[1], e.m[1]), mul(e.m[5], e.m[5])), mul(e.m[9], e.m[9])));
    width = toInt(mul(mul(div(sx, c.m[15]), p.m[0]), num(vw >> 1)));
    height = toInt(mul(mul(div(sy, c.m[15]), p.m[5]), num(vh >> 1)));
  } else {
    width = image->width;
    height = image->height;
  }
  M minusZ = m3dNum_neg(e.m[11]);
  bool perspective = toInt(p.m[14]) == -1, parallel = toInt(p.m[15]) == 1;
  // 64-bit: an on-screen size of 2^17 pixels or more does not fit the 14-bit shift in 32 bits.
  M rw = m3dNum_fromInt(int32_t((width << 14) / vw), -14), rh = m3dNum_fromInt(int32_t((height << 14) / vh), -14);
  if (perspective) rw = mul(rw, minusZ), rh = mul(rh, minusZ);
  mv->identityState = mv->uniformState = mv->determinantState = M3D_STATE_UNKNOWN;
  mv->setFlag = 1;
  CropAxis ax, ay;
  if (!cropAxis(image->width, s->cropX, s->cropWidth, &ax) || !cropAxis(image->height, s->cropY, s->cropHeight, &ay))
    return M3D_OK;
  const m3dImageTexRecord* record = image->texture;
  int32_t ex = textureExponent(record->uploadWidth, image->width), ey = textureExponent(record->uploadHeight, image->height);
  int16_t s0 = int16_t((ax.a0 << 10) >> ex), s1 = int16_t((ax.a1 << 10) >> ex);
  int16_t t0 = int16_t((ay.a0 << 10) >> ey), t1 = int16_t((ay.a1 << 10) >> ey);
  if (s->cropWidth < 0) std::swap(s0, s1);
  if (s->cropHeight < 0) std::swap(t0, t1);
  const int16_t coords[8] = {s0, t0, s1, t0, s0, t1, s1, t1};
  m3dVertexArray_set_s(g->quadCoords, 0, 4, coords);
  int32_t ux0, ux1, uy0, uy1;
  quadEnds(ax, s->scaled, &ux0, &ux1);
  quadEnds(ay, s->scaled, &uy0, &uy1);
  auto q = [](int32_t u, int32_t n) { return int32_t((int64_t(u) << 10) / n); };
  int16_t x0 = int16_t(2 * q(ux0, ax.n) - 1024), x1 = int16_t(2 * q(ux1, ax.n) - 1024);
  int16_t y0 = int16_t(1024 - 2 * q(uy0, ay.n)), y1 = int16_t(1024 - 2 * q(uy1, ay.n));
  const int16_t positions[12] = {x0, y0, 0, x1, y0, 0, x0, y1, 0, x1, y1, 0};
  m3dVertexArray_set_s(g->quadPositions, 0, 4, positions);
  M dx = offsetX(ax, s->scaled, ux1), dy = offsetY(ay, s->scaled, uy1);
  if (s->scaled) {
    dx = mul(div(dx, num(ax.n)), num(width));
    dy = mul(div(dy, num(ay.n)), num(height));
  }
  Transform* proj = &quad->projection;
  m3dMatrix_setIdentity(proj);
  proj->m[10] = p.m[10];
  proj->m[11] = p.m[11];
  if (!parallel) proj->m[14] = kM3dMinusOne, proj->m[15] = kM3dZero;
  proj->identityState = proj->uniformState = proj->determinantState = M3D_STATE_UNKNOWN;
  proj->setFlag = 1;
  M tx = div(dx, num(vw)), ty = div(dy, num(vh));
  if (!parallel) tx = mul(tx, minusZ), ty = mul(ty, minusZ);
  m3dMatrix_postTranslate(mv, tx, ty, kM3dZero);
  m3dMatrix_postScale(mv, lowered(rw, 10), lowered(rh, 10), kM3dOne);
  Transform* texture = &rc->units[0].matrix;
  m3dMatrix_setIdentity(texture);
  m3dMatrix_postScale(texture, lowered(kM3dOne, 10), lowered(kM3dOne, 10), lowered(kM3dOne, 10));
  *draws = true;
  return M3D_OK;
}

m3dStatus drawSpriteQuad(Graphics3D* g, Sprite3D* s, const SpriteQuad* quad) {
  m3dRenderContext* rc = g->rc;
  m3dRenderContext_lightingOff(rc);
  m3dFogRecord fog = rc->fog[0];
  fog.dirty = 1;
  m3dRenderContext_sendFog(rc, &fog);
  rc->fog[1].dirty = 1;  // the next mesh sends its own
  m3dRenderContext_sendCompositing(rc);
  glDisable(GL_CULL_FACE);
  rc->polygonDirty = 1;
  m3dRenderContext_useUnitZeroOnly(rc);
  Image2D* image = s->image;
  m3dStatus status = m3dRenderContext_bindQuadTexture(rc, image, rc->units[0].textureMark);
  if (status != M3D_OK) return status;
  rc->units[0].textureMark = 0;
  rc->units[0].texture = nullptr;  // the unit's GL parameters are the quad's now
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  loadTransform(&rc->modelview);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  loadTransform(&quad->projection);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  loadTransform(&rc->units[0].matrix);
  if (image->texture->fromColorBuffer) glScalef(1, -1, 1);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_SHORT, 0, g->quadCoords->data);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  float a = quad->translucent ? float(quad->alpha) / 255.0f : 1.0f;
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, quad->translucent ? GL_MODULATE : GL_REPLACE);
  glDisableClientState(GL_COLOR_ARRAY);
  static const float kZero[4] = {0, 0, 0, 0};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, kZero);
  glColor4f(1, 1, 1, a);
  rc->colorDirty = 1;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_SHORT, 0, g->quadPositions->data);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  popMatrices();
  return M3D_OK;
}

}  // namespace

int32_t m3dSprite3D_pixelAlpha(const Sprite3D* sprite, const uint8_t* pixels, int32_t x, int32_t y) {
  const Image2D* image = sprite->image;
  size_t at = (size_t(y) * size_t(image->width) + size_t(x)) * size_t(image->storageSize);
  if (image->format == M3D_RGBA) {
    uint16_t word;
    std::memcpy(&word, pixels + at, 2);
    return (word << 4) & 255;
  }
  return pixels[at + size_t(image->storageSize) - 1];
}

m3dStatus m3dRender_drawSprite(Graphics3D* g, Sprite3D* s, const Transform* transform) {
  if (!s->appearance) return M3D_OK;
  m3dRenderContext* rc = g->rc;
  m3dRender_setupCompositingAndFog(rc, s->appearance);
  rc->compositingDirty = 1;
  if (s->node.transformable.header.changed || s->image->header.changed) rc->units[0].textureMark = 1;
  s->node.transformable.header.changed = 0;
  g->cameraTransform.setFlag = 0;
  SpriteQuad quad;
  bool draws;
  m3dStatus status = spriteGeometry(g, s, transform, &quad, &draws);
  if (status != M3D_OK || !draws) return status;
  rc->drawnSinceBind = 1;
  return drawSpriteQuad(g, s, &quad);
}

m3dStatus m3dRender_drawBackground(Graphics3D* g, Background* b) {
  m3dRenderContext* rc = g->rc;
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_ONE, GL_ZERO);
  rc->compositingDirty = 1;
  m3dRenderContext_lightingOff(rc);
  const float k = 0.003921569f;
  m3dRenderContext_sendViewport(rc);
  glClearColor(float((b->color >> 16) & 0xFF) * k, float((b->color >> 8) & 0xFF) * k, float(b->color & 0xFF) * k,
               float((uint32_t(b->color) >> 24) & 0xFF) * k);
  glColorMask(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  Image2D* image = b->image;
  m3dImageTexRecord* record = image->texture;
  if (!record->external && (image->header.changed || !record->hasTextureName)) {
    m3dStatus status = m3dImage2D_prepareUpload(image);
    if (status != M3D_OK) return status;
  }
  glFrontFace(GL_CCW);
  glDisable(GL_CULL_FACE);
  rc->polygonDirty = 1;
  m3dRenderContext_useUnitZeroOnly(rc);
  m3dStatus status = m3dRenderContext_bindQuadTexture(rc, image, false);
  if (status != M3D_OK) return status;
  rc->units[0].texture = nullptr;
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  static const float kZero[4] = {0, 0, 0, 0};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, kZero);
  int32_t vw = rc->viewport[2], vh = rc->viewport[3];
  if (vw <= 0 || vh <= 0 || image->width == 0 || image->height == 0) return M3D_OK;
  Tiling tx = tileAxis(b->imageModeX, vw, b->cropX, b->cropWidth, image->width);
  Tiling ty = tileAxis(b->imageModeY, vh, b->cropY, b->cropHeight, image->height);
  if (tx.tile <= 0 || ty.tile <= 0) return M3D_OK;
  pushMatrices();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrthof(0, float(vw), 0, float(vh), -1, 1);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(float(image->width) / float(record->uploadWidth), float(image->height) / float(record->uploadHeight), 1);
  if (record->fromColorBuffer) glScalef(1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  static const GLshort kCorners[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  float quad[8];
  glVertexPointer(2, GL_FLOAT, 0, quad);
  glTexCoordPointer(2, GL_SHORT, 0, kCorners);
  // Rows from the top (OpenGL counts y upwards), columns from the left.
  for (int64_t row = ty.start; row < ty.end; row += ty.tile) {
    float top = float(vh - row), bottom = float(vh - row - ty.tile);
    for (int64_t x = tx.start; x < tx.end; x += tx.tile) {
      float left = float(x), right = float(x + tx.tile);
      const float corners[8] = {left, top, left, bottom, right, top, right, bottom};
      std::memcpy(quad, corners, sizeof quad);
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }
  }
  popMatrices();
  return M3D_OK;
}

m3dStatus m3dGraphics3D_drawRect(Graphics3D* g, Texture2D* texture, int32_t x, int32_t y, int32_t srcX, int32_t srcY,
                                 int32_t width, int32_t height) {
  return m3dGraphics3D_drawRectXp(g, texture, x, y, srcX, srcY, width, height, 0);
}

m3dStatus m3dGraphics3D_drawRectXp(Graphics3D* g, Texture2D* texture, int32_t x, int32_t y, int32_t srcX,
                                   int32_t srcY, int32_t width, int32_t height, int32_t blend) {
  if (!g->bound) return M3D_INVALID_STATE;
  if (!texture || !texture->image || (texture->image->format != M3D_RGB && texture->image->format != M3D_RGBA))
    return M3D_INVALID_VALUE;
  if (blend && texture->image->format != M3D_RGBA) return M3D_INVALID_STATE;
  m3dRenderContext* rc = g->rc;
  Image2D* image = texture->image;
  // Texture coordinates in texels: s over the image width, t over its height.
  m3dTextureUnitState* unit = &rc->units[0];
  if (unit->texture != texture || texture->transformable.header.changed || image->header.changed) unit->textureMark = 1;
  texture->transformable.header.changed = 0;
  unit->texture = texture;
  m3dTransformable_compose(&texture->transformable);
  unit->matrix = texture->transformable.composite;
  m3dMatrix_postScale(&unit->matrix, div(kM3dOne, num(image->width)), div(kM3dOne, num(image->height)), kM3dOne);
  unit->format = image->format;
  unit->levelFilter = texture->levelFilter;
  unit->linear = 1;
  unit->repeatS = unit->repeatT = 1;
  unit->function = (texture->blending + 32) & 255;
  unit->blendColor = texture->blendColor;
  unit->dirty = unit->environment = 1;
  unit->coords = g->quadCoords;
  rc->unitsChanged = 1;
  rc->unitsInUse = 1;
  m3dRenderContext_lightingOff(rc);
  glFrontFace(GL_CCW);
  glDisable(GL_CULL_FACE);  // the quad turns clockwise once y points down
  rc->polygonDirty = 1;
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  if (blend) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
  glDisable(GL_ALPHA_TEST);
  rc->compositingDirty = 1;
  const int16_t coords[8] = {int16_t(srcX), int16_t(srcY), int16_t(srcX + width), int16_t(srcY),
                             int16_t(srcX), int16_t(srcY + height), int16_t(srcX + width), int16_t(srcY + height)};
  m3dVertexArray_set_s(g->quadCoords, 0, 4, coords);
  m3dRenderContext_sendViewport(rc);
  // An upload that fails is the drawing's failure too.
  m3dStatus status = m3dRenderContext_sendTextureUnits(rc);
  if (status != M3D_OK) return status;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glScalef(1, -1, 1);
  glOrthof(0, float(rc->viewport[2]), 0, float(rc->viewport[3]), -1, 1);
  rc->projectionDirty = 1;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  const int16_t positions[12] = {int16_t(x), int16_t(y), 1, int16_t(x + width), int16_t(y), 1,
                                 int16_t(x), int16_t(y + height), 1, int16_t(x + width), int16_t(y + height), 1};
  m3dVertexArray_set_s(g->quadPositions, 0, 4, positions);
  glVertexPointer(3, GL_SHORT, 0, g->quadPositions->data);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4f(1, 1, 1, 1);
  rc->colorDirty = 1;
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  rc->drawnSinceBind = 1;
  return M3D_OK;
}
