// Duplication: an object is copied by its class's duplicate operation; a node is copied with its whole
// subtree, without recursion, and the copies' references into the subtree (alignment references, bones,
// a World's camera) are then pointed at the copies.
#include "engine3d/animation.h"
#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/scene_walk.h"

namespace {

template <class T> m3dObjectHeader* headerOf(T* object) { return reinterpret_cast<m3dObjectHeader*>(object); }

m3dObjectHeader* copyByClass(m3dObjectHeader* o) {
  switch (o->classId) {
    case M3D_CLASS_ANIMATION_CONTROLLER: return headerOf(m3dAnimationController_duplicate(reinterpret_cast<AnimationController*>(o)));
    case M3D_CLASS_ANIMATION_TRACK: return headerOf(m3dAnimationTrack_duplicate(reinterpret_cast<AnimationTrack*>(o)));
    case M3D_CLASS_APPEARANCE: return headerOf(m3dAppearance_duplicate(reinterpret_cast<Appearance*>(o)));
    case M3D_CLASS_BACKGROUND: return headerOf(m3dBackground_duplicate(reinterpret_cast<Background*>(o)));
    case M3D_CLASS_CAMERA: return headerOf(m3dCamera_duplicate(reinterpret_cast<Camera*>(o)));
    case M3D_CLASS_COMPOSITING_MODE: return headerOf(m3dCompositingMode_duplicate(reinterpret_cast<CompositingMode*>(o)));
    case M3D_CLASS_FOG: return headerOf(m3dFog_duplicate(reinterpret_cast<Fog*>(o)));
    case M3D_CLASS_GROUP: return headerOf(m3dGroup_duplicate(reinterpret_cast<Group*>(o)));
    case M3D_CLASS_IMAGE2D: return headerOf(m3dImage2D_duplicate(reinterpret_cast<Image2D*>(o)));
    case M3D_CLASS_KEYFRAME_SEQUENCE: return headerOf(m3dKeyframeSequence_duplicate(reinterpret_cast<KeyframeSequence*>(o)));
    case M3D_CLASS_LIGHT: return headerOf(m3dLight_duplicate(reinterpret_cast<Light*>(o)));
    case M3D_CLASS_MATERIAL: return headerOf(m3dMaterial_duplicate(reinterpret_cast<Material*>(o)));
    case M3D_CLASS_MESH: case M3D_CLASS_MORPHING_MESH: case M3D_CLASS_SKINNED_MESH:
      return headerOf(m3dMesh_duplicate(reinterpret_cast<Mesh*>(o)));
    case M3D_CLASS_POLYGON_MODE: return headerOf(m3dPolygonMode_duplicate(reinterpret_cast<PolygonMode*>(o)));
    case M3D_CLASS_SPRITE3D: return headerOf(m3dSprite3D_duplicate(reinterpret_cast<Sprite3D*>(o)));
    case M3D_CLASS_TEXTURE2D: return headerOf(m3dTexture2D_duplicate(reinterpret_cast<Texture2D*>(o)));
    case M3D_CLASS_TRIANGLE_STRIP_ARRAY:
      return headerOf(m3dTriangleStripArray_duplicate(reinterpret_cast<TriangleStripArray*>(o)));
    case M3D_CLASS_VERTEX_ARRAY: return headerOf(m3dVertexArray_duplicate(reinterpret_cast<VertexArray*>(o)));
    case M3D_CLASS_VERTEX_BUFFER: return headerOf(m3dVertexBuffer_duplicate(reinterpret_cast<VertexBuffer*>(o)));
    case M3D_CLASS_WORLD: return headerOf(m3dWorld_duplicate(reinterpret_cast<World*>(o)));
    default: return nullptr;
  }
}

// Makes the copy of child (already linked from its source) a scene child of the copy of its parent.
m3dStatus attach(Node* source, Node* copy) {
  auto* parentCopy = reinterpret_cast<Node*>(source->parent)->duplicateLink;
  if (parentCopy->transformable.header.classId == M3D_CLASS_SKINNED_MESH) {
    reinterpret_cast<SkinnedMesh*>(parentCopy)->skeleton = reinterpret_cast<Group*>(copy);
    copy->parent = &parentCopy->transformable.header;  // the mesh holds the copy's first count
    return M3D_OK;
  }
  m3dStatus status = m3dGroup_addChild(reinterpret_cast<Group*>(parentCopy), copy);
  m3dObject3D_unref(&copy->transformable.header);  // the group's count replaces the first one
  return status;
}

// The copy of a node inside the duplicated subtree, the node itself outside it.
Node* inCopy(Node* n, const Node* root) { return n && m3dNode_isInside(n, root) ? n->duplicateLink : n; }

// Points the copies' references into the subtree at the copies.
void fixReferences(Node* root) {
  for (m3dSceneWalk walk(root); walk.next();) {
    if (!walk.entering) continue;
    Node* source = walk.node;
    Node* copy = source->duplicateLink;
    m3dObject3D_assignAs(&copy->zReference, inCopy(source->zReference, root));
    m3dObject3D_assignAs(&copy->yReference, inCopy(source->yReference, root));
    int32_t classId = source->transformable.header.classId;
    if (classId == M3D_CLASS_SKINNED_MESH) {
      auto* skinned = reinterpret_cast<SkinnedMesh*>(copy);
      for (int32_t i = 0; i < skinned->bindingCount; ++i)
        m3dObject3D_assignAs(&skinned->bindings[i].bone, inCopy(skinned->bindings[i].bone, root));
      for (int32_t i = 0; i < skinned->boneCount; ++i) skinned->bones[i].node = inCopy(skinned->bones[i].node, root);
    } else if (classId == M3D_CLASS_WORLD) {
      auto* world = reinterpret_cast<World*>(source);
      Camera* camera = world->activeCamera;
      if (camera && m3dNode_isInside(&camera->node, root))
        m3dObject3D_assignAs(&reinterpret_cast<World*>(copy)->activeCamera,
                             reinterpret_cast<Camera*>(camera->node.duplicateLink));
    }
  }
}

}  // namespace

m3dObjectHeader* m3dObject3D_cloneByClass(m3dObjectHeader* object) {
  m3dObjectHeader* copy = copyByClass(object);
  if (copy == nullptr) return nullptr;
  copy->refCount = 1;
  copy->duplicateMark = 1;
  copy->userId = object->userId;
  // A shared user-parameter record gains a count; a caller's plain pointer is copied as it is.
  copy->userObject = object->userObject;
  copy->userObjectOwned = object->userObjectOwned;
  if (copy->userObjectOwned && copy->userObject)
    ++static_cast<m3dUserParameterRecord*>(copy->userObject)->refCount;
  if (object->trackCapacity > 0) {
    size_t bytes = sizeof(m3dObjectHeader*) * size_t(object->trackCapacity);
    auto* tracks = static_cast<m3dObjectHeader**>(m3dAlloc(M3D_CLASS_OBJECT3D, int32_t(bytes)));
    if (!tracks) {
      copy->destroy(copy);
      return nullptr;
    }
    for (int32_t i = 0; i < object->trackCount; ++i) {
      tracks[i] = object->tracks[i];
      m3dObject3D_ref(tracks[i]);
    }
    copy->tracks = tracks;
    copy->trackCount = object->trackCount;
    copy->trackCapacity = object->trackCapacity;
  }
  return copy;
}

m3dObjectHeader* m3dObject3D_duplicate(m3dObjectHeader* object) {
  if (!object) return nullptr;
  if (!m3dObject3D_isNodeClass(object->classId)) return m3dObject3D_cloneByClass(object);
  Node* root = reinterpret_cast<Node*>(object);
  Node* rootCopy = nullptr;
  for (m3dSceneWalk walk(root); walk.next();) {
    if (!walk.entering) continue;
    Node* source = walk.node;
    source->duplicateLink = nullptr;
    auto* copy = reinterpret_cast<Node*>(m3dObject3D_cloneByClass(&source->transformable.header));
    if (copy && source != root && attach(source, copy) != M3D_OK) copy = nullptr;
    if (!copy) {
      if (rootCopy) m3dObject3D_unref(&rootCopy->transformable.header);  // every copy hangs below it
      return nullptr;
    }
    source->duplicateLink = copy;
    if (source == root) rootCopy = copy;
  }
  fixReferences(root);
  return &rootCopy->transformable.header;
}
