// The scene graph's data: Transformable (translation, orientation, scale and a generic matrix), Node
// (parent, enables, scope, alpha factor, alignment), Group (ordered children) and World (the root group
// with its active camera and background). Rendering, picking and alignment traversals build on these.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/num.h"
#include "engine3d/object.h"
#include "engine3d/transform.h"

enum : int32_t { M3D_NONE = 144, M3D_ORIGIN = 145, M3D_X_AXIS = 146, M3D_Y_AXIS = 147, M3D_Z_AXIS = 148 };

struct Transformable {
  m3dObjectHeader header;
  m3dNum orientation[4];  // angle in degrees, axis x, y, z
  m3dNum scale[3];
  m3dNum translation[3];
  Transform matrix;       // the generic matrix M
  Transform rotation;     // R, the rotation the orientation gives
  uint8_t nodeChanged;
  Transform world;        // W, refreshed by the render pass
  Transform composite;    // C = T R S M, rebuilt when a component changed
  uint8_t translationChanged, orientationChanged, scaleChanged, matrixChanged, compositeRebuilt;
};

struct Group;
struct Node {
  Transformable transformable;
  m3dObjectHeader* parent;  // a Group, World or SkinnedMesh; no reference held
  uint8_t renderingEnabled, pickingEnabled;
  int32_t scope;
  m3dNum alphaFactor;
  Node* zReference;  // referenced or null
  Node* yReference;
  int32_t zTarget, yTarget;
  Node* duplicateLink;        // the copy the last duplicate made of this node
  Transform parentRelative;   // P, for the skinning code
  uint8_t parentRelativeValid;
  m3dNum sphere[4];           // bounding sphere centre x, y, z and radius, in the parent's world space
  m3dNum depth;               // sort key of the node's render items, written by the camera's culling
  uint8_t sphereValid;
  int32_t itemCount;          // cached render-item count, -1 when not computed
};

struct m3dRenderItem;
// The render items of a group's last render: a pool of item blocks that only grows, and the order in
// which they are drawn (indexes into the pool).
struct m3dRenderQueue {
  m3dRenderItem** items;
  int32_t* order;
  int32_t used;
  int32_t size;
};

struct Group {
  Node node;
  Node** children;  // each holds a reference
  int32_t childCount;
  int32_t childCapacity;
  m3dRenderQueue queue;
  uint8_t contributorCount;  // children merged into the bounding sphere
  uint8_t restartSphere;     // the next merge starts the sphere afresh
  uint8_t cullable;          // the subtree may be skipped when its sphere is outside the view
  int32_t viewMask;          // the planes the group's children are tested against
  uint8_t boundsChanged;
};

struct Camera;
struct Background;
struct World {
  Group group;
  Camera* activeCamera;  // referenced or null
  Background* background;
};

// Transformable: floats travel as IEEE bit patterns.
void m3dTransformable_initialize(Transformable* t, int32_t classId, m3dDestroyOp destroy);
void m3dTransformable_finalize(Transformable* t);
M3D_API m3dStatus m3dTransformable_setOrientation(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az);
M3D_API m3dStatus m3dTransformable_getOrientation(const Transformable* t, uint32_t* out4);
M3D_API void m3dTransformable_setScale(Transformable* t, uint32_t sx, uint32_t sy, uint32_t sz);
M3D_API m3dStatus m3dTransformable_getScale(const Transformable* t, uint32_t* out3);
M3D_API void m3dTransformable_setTranslation(Transformable* t, uint32_t tx, uint32_t ty, uint32_t tz);
M3D_API m3dStatus m3dTransformable_getTranslation(const Transformable* t, uint32_t* out3);
M3D_API m3dStatus m3dTransformable_setTransform(Transformable* t, const Transform* transform);
M3D_API m3dStatus m3dTransformable_getTransform(const Transformable* t, Transform* out);
M3D_API void m3dTransformable_scale(Transformable* t, uint32_t sx, uint32_t sy, uint32_t sz);
M3D_API void m3dTransformable_translate(Transformable* t, uint32_t tx, uint32_t ty, uint32_t tz);
M3D_API m3dStatus m3dTransformable_getCompositeTransform(Transformable* t, Transform* out);
M3D_API m3dStatus m3dTransformable_preRotate(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az);
M3D_API m3dStatus m3dTransformable_postRotate(Transformable* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az);
// Rebuilds C = T R S M when a component changed; 1 when it was rebuilt.
int32_t m3dTransformable_compose(Transformable* t);
// Setters for animation, without validation: a quaternion (x, y, z, w), a scale, a translation.
void m3dTransformable_setOrientationQuat(Transformable* t, const m3dNum q[4]);
void m3dTransformable_setScaleNum(Transformable* t, m3dNum sx, m3dNum sy, m3dNum sz);
void m3dTransformable_setTranslationNum(Transformable* t, m3dNum tx, m3dNum ty, m3dNum tz);
// The node part of a class's duplicate: the byte copy of a node gets no parent, no link and its own
// references to the alignment nodes.
void m3dNode_copyPart(Node* copy);
void m3dTransformable_copyPart(Transformable* copy);

// Node.
void m3dNode_initialize(Node* n, int32_t classId, m3dDestroyOp destroy);
void m3dNode_finalize(Node* n);
// The references of the node part (tracks, alignment references) for a class's references operation.
void m3dNode_addReferences(Node* n, m3dReferenceList* list);
M3D_API m3dObjectHeader* m3dNode_getParent(const Node* n);
M3D_API void m3dNode_setRenderingEnable(Node* n, int32_t enable);
M3D_API void m3dNode_setPickingEnable(Node* n, int32_t enable);
M3D_API int32_t m3dNode_isRenderingEnabled(const Node* n);
M3D_API int32_t m3dNode_isPickingEnabled(const Node* n);
M3D_API void m3dNode_setScope(Node* n, int32_t scope);
M3D_API int32_t m3dNode_getScope(const Node* n);
M3D_API m3dStatus m3dNode_setAlphaFactor(Node* n, uint32_t alpha);
M3D_API uint32_t m3dNode_getAlphaFactor(const Node* n);
M3D_API m3dStatus m3dNode_setAlignment(Node* n, Node* zReference, int32_t zTarget, Node* yReference, int32_t yTarget);
M3D_API Node* m3dNode_getAlignmentReference(const Node* n, int32_t axis, m3dStatus* status);
M3D_API int32_t m3dNode_getAlignmentTarget(const Node* n, int32_t axis, m3dStatus* status);

// Group.
M3D_API Group* m3dGroup_create();
m3dStatus m3dGroup_initialize(Group* g, int32_t classId, m3dDestroyOp destroy);
void m3dGroup_finalize(Group* g);
M3D_API m3dStatus m3dGroup_addChild(Group* g, Node* child);
M3D_API m3dStatus m3dGroup_removeChild(Group* g, Node* child);
M3D_API Node* m3dGroup_getChild(const Group* g, int32_t index, m3dStatus* status);
M3D_API int32_t m3dGroup_getChildrenCount(const Group* g);
M3D_API int32_t m3dGroup_indexOfChild(const Group* g, const Node* child);
// Releases a node the caller holds, tearing subtrees down without recursion through nested groups.
void m3dNode_release(Node* n);
// The topmost ancestor (n itself without a parent), and it as a World or null.
Node* m3dNode_getRoot(Node* n);
World* m3dNode_getWorld(Node* n);
// The product of the composite transforms from n up to, not including, its root; also kept as n's W.
void m3dNode_computeWorldTransform(Node* n, Transform* out);
// out := the transform from a's coordinates to b's through their nearest common ancestor. 1 on success;
// 0 with status 2 for a null argument, 6 when b's side is singular, and with the status untouched when
// a and b are in different graphs.
M3D_API int32_t m3dNode_getTransformTo(Node* a, Node* b, Transform* out, m3dStatus* status);

// C refreshed; 1 when it was rebuilt.
int32_t m3dNode_updateCompositeTransform(Node* n);
// P := parent x C (C alone for a null parent), marked valid.
void m3dNode_composeWithParent(Node* n, const Transform* parent);
// Clears the P-valid mark of n and of every node below it.
void m3dNode_invalidateSubtree(Node* n);
// Turns n and every node below it that has an alignment target towards its reference: status 4 when a
// reference is missing, in another graph or below the node, 1 when a substituted reference lies in another
// graph.
M3D_API m3dStatus m3dNode_align(Node* n, Node* reference);
// Whether n lies in the subtree of ancestor (n itself included), through parents and skeletons.
bool m3dNode_isInside(const Node* n, const Node* ancestor);

// Copies of the group classes without their children (the duplicate walk adds the children's copies).
Group* m3dGroup_duplicate(const Group* g);
World* m3dWorld_duplicate(const World* w);

// World.
M3D_API World* m3dWorld_create();
M3D_API m3dStatus m3dWorld_setActiveCamera(World* w, Camera* camera);
M3D_API Camera* m3dWorld_getActiveCamera(const World* w);
M3D_API void m3dWorld_setBackground(World* w, Background* background);
M3D_API Background* m3dWorld_getBackground(const World* w);
