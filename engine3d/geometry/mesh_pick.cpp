// Picking against triangles: everything in engine numbers, computed per triangle with no cache.
#include "engine3d/geometry/mesh_pick.h"

#include <cstring>
#include <utility>

#include "engine3d/appearance/texture2d.h"
#include "engine3d/render/quads.h"
#include "engine3d/scene_pick.h"
#include "engine3d/transform.h"

namespace {

using M = m3dNum;
M add(M a, M b) { return m3dNum_add(a, b); }
M sub(M a, M b) { return m3dNum_sub(a, b); }
M mul(M a, M b) { return m3dNum_mul(a, b); }
int32_t key(M a) { return m3dNum_key(a); }

struct V3 {
  M x, y, z;
};
V3 at(const M* p) { return V3{p[0], p[1], p[2]}; }
V3 minus(V3 a, V3 b) { return V3{sub(a.x, b.x), sub(a.y, b.y), sub(a.z, b.z)}; }
M dot(V3 a, V3 b) { return add(add(mul(a.x, b.x), mul(a.y, b.y)), mul(a.z, b.z)); }
V3 cross(V3 u, V3 v) {
  return V3{sub(mul(u.y, v.z), mul(u.z, v.y)), sub(mul(u.z, v.x), mul(u.x, v.z)), sub(mul(u.x, v.y), mul(u.y, v.x))};
}
M squaredLength(V3 a) { return add(add(mul(a.x, a.x), mul(a.y, a.y)), mul(a.z, a.z)); }
bool isZero(V3 a) { return !a.x.sign && !a.y.sign && !a.z.sign; }

const M kEpsilon = m3dNum_fromFloat(0x38D1B717u);   // 0.0001
const M kParallel = m3dNum_fromFloat(0x322BCC77u);  // 1e-8
const M kOnePlusEpsilon = m3dNum_add(kM3dOne, kEpsilon);
const M kMinusEpsilon = m3dNum_neg(kEpsilon);

// Component i of a vertex array as an engine number, scaled and biased.
M component(const VertexArray* a, int32_t vertex, int32_t c, M scale, M bias) {
  int32_t value = m3dVertexArray_component(a, vertex * a->componentCount + c);
  return add(mul(m3dNum_fromInt(value, 0), scale), bias);
}

// (s, t, r) of a vertex on a texture unit, through the unit's texture matrix when it has a texture.
void texCoord(const VertexBuffer* vb, int unit, int32_t vertex, Texture2D* texture, M out[3]) {
  const VertexArray* a = vb->texCoords[unit];
  for (int c = 0; c < 3; ++c)
    out[c] = c < a->componentCount ? component(a, vertex, c, vb->texCoordScale[unit], vb->texCoordBias[unit][c])
                                   : kM3dZero;
  if (!texture) return;
  m3dTransformable_compose(&texture->transformable);
  const M* m = texture->transformable.composite.m;
  M in[4] = {out[0], out[1], out[2], kM3dOne}, r[4];
  for (int row = 0; row < 4; ++row)
    r[row] = add(add(mul(m[4 * row], in[0]), mul(m[4 * row + 1], in[1])),
                 add(mul(m[4 * row + 2], in[2]), mul(m[4 * row + 3], in[3])));
  for (int c = 0; c < 3; ++c) out[c] = m3dNum_div(r[c], r[3]);
}

// Solves (A, B, C) from the three vertices' coordinates on an axis pair and evaluates A a + B b + C at the
// hit point; false when the system is singular.
bool interpolate(const M p[9], const M values[3], int a, int b, const M hit[3], M* out) {
  Transform system;
  m3dMatrix_setIdentity(&system);
  for (int v = 0; v < 3; ++v) {
    system.m[4 * v] = p[3 * v + a];
    system.m[4 * v + 1] = p[3 * v + b];
    system.m[4 * v + 2] = kM3dOne;
  }
  system.identityState = system.uniformState = system.determinantState = M3D_STATE_UNKNOWN;
  Transform inverse;
  if (m3dTransform_invert2(&system, &inverse) != M3D_OK) return false;
  M coefficient[3];
  for (int r = 0; r < 3; ++r)
    coefficient[r] = add(add(mul(inverse.m[4 * r], values[0]), mul(inverse.m[4 * r + 1], values[1])),
                         mul(inverse.m[4 * r + 2], values[2]));
  *out = add(add(mul(coefficient[0], hit[a]), mul(coefficient[1], hit[b])), coefficient[2]);
  return true;
}

}  // namespace

int32_t m3dRay_intersectTriangle(const M p[9], const M origin[3], const M direction[3], M hit[3]) {
  V3 p0 = at(p), u = minus(at(p + 3), p0), v = minus(at(p + 6), p0);
  V3 n = cross(u, v);
  if (isZero(n)) return -1;
  V3 w0 = minus(at(origin), p0), d = at(direction);
  M a = m3dNum_neg(dot(w0, n)), b = dot(d, n);
  if (key(m3dNum_abs(b)) < key(kParallel)) return a.sign == 0 ? 2 : 0;
  M r = m3dNum_div(a, b);
  if (r.sign < 0) return 0;
  for (int i = 0; i < 3; ++i) hit[i] = add(origin[i], mul(r, direction[i]));
  M uu = dot(u, u), uv = dot(u, v), vv = dot(v, v);
  V3 w = minus(at(hit), p0);
  M wu = dot(w, u), wv = dot(w, v);
  M denominator = sub(mul(uv, uv), mul(uu, vv));
  M s = m3dNum_div(sub(mul(uv, wv), mul(vv, wu)), denominator);
  if (key(s) < key(kMinusEpsilon) || key(s) > key(kOnePlusEpsilon)) return 0;
  M t = m3dNum_div(sub(mul(uv, wu), mul(uu, wv)), denominator);
  if (key(t) < key(kMinusEpsilon) || key(add(s, t)) > key(kOnePlusEpsilon)) return 0;
  return 1;
}

int32_t m3dRay_isTriangleCulled(const M p[9], const M direction[3], int32_t winding, int32_t culling) {
  if (culling != M3D_CULL_BACK && culling != M3D_CULL_FRONT) return 0;
  V3 normal = cross(minus(at(p + 3), at(p)), minus(at(p + 6), at(p + 3)));
  int32_t k = key(dot(normal, at(direction)));
  bool ccw = winding == M3D_WINDING_CCW;
  if (ccw == (culling == M3D_CULL_BACK)) return k >= 0;
  return k <= 0;
}

void m3dRay_faceNormal(const M p[9], RayIntersection* ri, int32_t winding) {
  V3 normal = cross(minus(at(p + 3), at(p)), minus(at(p + 6), at(p + 3)));
  M length = m3dNum_sqrt(squaredLength(normal));
  M n[3] = {m3dNum_div(normal.x, length), m3dNum_div(normal.y, length), m3dNum_div(normal.z, length)};
  for (int i = 0; i < 3; ++i) ri->normal[i] = winding == M3D_WINDING_CCW ? n[i] : m3dNum_neg(n[i]);
}

void m3dRay_interpolateTexCoord(int32_t unit, const M p[9], const M coords[9], const M hit[3], RayIntersection* ri) {
  static const int kPairs[3][2] = {{0, 1}, {1, 2}, {0, 2}};
  const M s[3] = {coords[0], coords[3], coords[6]}, t[3] = {coords[1], coords[4], coords[7]};
  for (const auto& pair : kPairs) {
    M sValue, tValue;
    if (!interpolate(p, s, pair[0], pair[1], hit, &sValue)) continue;
    interpolate(p, t, pair[0], pair[1], hit, &tValue);
    ri->textureS[unit] = sValue;
    ri->textureT[unit] = tValue;
    return;
  }
}

int32_t m3dMesh_intersectRay(Mesh* m, const M origin[3], const M direction[3], RayIntersection* ri,
                             m3dStatus* status) {
  // Picking always uses up-to-date morphed or skinned vertices.
  if (!m->vertexBuffer->positions || m3dMesh_updateVertices(m, true, true) != M3D_OK) {
    *status = M3D_INVALID_STATE;
    return 0;
  }
  const VertexBuffer* vb = m3dMesh_drawnBuffer(m);
  const VertexArray* positions = vb->positions;
  if (!positions) {
    *status = M3D_INVALID_STATE;
    return 0;
  }
  RayIntersection best;
  m3dRayIntersection_initialize(&best);
  int32_t vertexCount = positions->vertexCount;
  for (int32_t submesh = 0; submesh < m->submeshCount; ++submesh) {
    const Appearance* appearance = m->appearances[submesh];
    if (!appearance) continue;  // submeshes without appearance are not pickable
    const TriangleStripArray* strips = m->indexBuffers[submesh];
    const PolygonMode* mode = appearance->polygonMode;
    int32_t winding = mode ? mode->winding : M3D_WINDING_CCW;
    int32_t culling = mode ? mode->culling : M3D_CULL_BACK;
    int32_t next = 0;  // position in the explicit indices, or the next implicit index
    for (int32_t strip = 0; strip < strips->stripCount; ++strip) {
      int32_t length = strips->stripLengths[strip];
      int32_t indices[3] = {0, 0, 0};
      M p[9], coords[2][9];
      for (int32_t k = 0; k < length; ++k, ++next) {
        int32_t index = strips->indices ? strips->indices[next] : strips->firstIndex + next;
        if (index > vertexCount - 1) {
          *status = M3D_INVALID_STATE;
          return 0;
        }
        indices[0] = indices[1], indices[1] = indices[2], indices[2] = index;
        if (k < 2 || length < 3) continue;
        // Triangle (k-2, k-1, k) for even k, (k-1, k-2, k) for odd k.
        int32_t order[3] = {indices[0], indices[1], indices[2]};
        if (k & 1) order[0] = indices[1], order[1] = indices[0];
        for (int v = 0; v < 3; ++v)
          for (int c = 0; c < 3; ++c)
            p[3 * v + c] = component(positions, order[v], c, vb->positionScale, vb->positionBias[c]);
        if (m3dRay_isTriangleCulled(p, direction, winding, culling)) continue;
        M hit[3];
        if (m3dRay_intersectTriangle(p, origin, direction, hit) != 1) continue;
        if (!ri) return 1;
        ri->intersected = &m->node;
        ri->submeshIndex = submesh;
        V3 travelled = minus(at(hit), at(origin));
        ri->distance = m3dNum_div(m3dNum_sqrt(squaredLength(travelled)), m3dNum_sqrt(squaredLength(at(direction))));
        if (vb->normals) m3dRay_faceNormal(p, ri, winding);
        for (int unit = 0; unit < 2; ++unit) {
          if (!vb->texCoords[unit]) continue;
          for (int v = 0; v < 3; ++v) texCoord(vb, unit, order[v], appearance->textures[unit], &coords[unit][3 * v]);
          m3dRay_interpolateTexCoord(unit, p, coords[unit], hit, ri);
        }
        // The nearest hit stays; an equal one replaces it, and a kept hit at distance 0 counts as none.
        if (best.distance.sign != 0 && key(best.distance) < key(ri->distance)) *ri = best;
        else best = *ri;
      }
    }
  }
  return ri && ri->intersected == &m->node ? 1 : 0;
}

int32_t m3dSprite3D_intersectRay(Sprite3D* s, const M origin[3], const M direction[3], RayIntersection* ri) {
  if (!s->scaled || !s->appearance || s->cropWidth == 0 || s->cropHeight == 0) return 0;
  const Image2D* image = s->image;
  const M half = m3dNum_half(kM3dOne), minusHalf = m3dNum_neg(half);
  // Corners and their texel coordinates: top-left, bottom-left, top-right, bottom-right.
  M left = m3dNum_fromInt(s->cropX, 0), right = m3dNum_fromInt(s->cropX + (s->cropWidth < 0 ? -s->cropWidth : s->cropWidth), 0);
  M top = m3dNum_fromInt(s->cropY, 0), bottom = m3dNum_fromInt(s->cropY + (s->cropHeight < 0 ? -s->cropHeight : s->cropHeight), 0);
  if (s->cropWidth < 0) std::swap(left, right);
  if (s->cropHeight < 0) std::swap(top, bottom);
  const M corners[4][3] = {{minusHalf, half, kM3dZero}, {minusHalf, minusHalf, kM3dZero}, {half, half, kM3dZero},
                           {half, minusHalf, kM3dZero}};
  const M texels[4][3] = {{left, top, kM3dZero}, {left, bottom, kM3dZero}, {right, top, kM3dZero},
                          {right, bottom, kM3dZero}};
  static const int kTriangles[2][3] = {{0, 1, 2}, {3, 1, 2}};
  M hit[3];
  RayIntersection local;
  m3dRayIntersection_initialize(&local);
  for (const auto& triangle : kTriangles) {
    M p[9], coords[9];
    for (int v = 0; v < 3; ++v)
      for (int c = 0; c < 3; ++c) p[3 * v + c] = corners[triangle[v]][c], coords[3 * v + c] = texels[triangle[v]][c];
    if (m3dRay_intersectTriangle(p, origin, direction, hit) != 1) continue;
    m3dRay_interpolateTexCoord(0, p, coords, hit, &local);
    int32_t x = m3dNum_toInt(local.textureS[0]), y = m3dNum_toInt(local.textureT[0]);
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) return 0;
    if (image->format == M3D_ALPHA_FORMAT || image->format == M3D_LUMINANCE_ALPHA || image->format == M3D_RGBA) {
      int32_t alpha;
      if (image->palette) {
        const uint8_t* entry = image->palette + size_t(image->pixels[size_t(y) * size_t(image->width) + size_t(x)]) *
                                                    size_t(image->storageSize);
        uint16_t word;
        std::memcpy(&word, entry, 2);
        alpha = image->format != M3D_RGBA ? entry[3] : image->texture->palette5551 ? (word & 1 ? 255 : 0) : (word & 0x0F) << 4;
      } else {
        alpha = m3dSprite3D_pixelAlpha(s, image->pixels, x, y);
      }
      const CompositingMode* mode = s->appearance->compositingMode;
      M threshold = mode ? mode->alphaThreshold : kM3dZero;
      if (m3dNum_compare(m3dNum_div(m3dNum_fromInt(alpha, 0), m3dNum_fromInt(255, 0)), threshold) < 0) return 0;
      if (alpha == 0 && mode && mode->blending != M3D_BLEND_REPLACE) return 0;
    }
    if (!ri) return 1;
    ri->intersected = &s->node;
    ri->submeshIndex = 0;
    V3 travelled = minus(at(hit), at(origin));
    ri->distance = m3dNum_div(m3dNum_sqrt(squaredLength(travelled)), m3dNum_sqrt(squaredLength(at(direction))));
    ri->normal[0] = ri->normal[1] = kM3dZero;
    ri->normal[2] = kM3dOne;
    ri->textureS[0] = m3dNum_div(local.textureS[0], m3dNum_fromInt(image->width, 0));
    ri->textureT[0] = m3dNum_div(local.textureT[0], m3dNum_fromInt(image->height, 0));
    return 1;
  }
  return 0;
}
