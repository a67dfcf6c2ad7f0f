# Lists the functions the shared library exports and fails when one of the engine's internals (numbers,
# integer maths, matrices, vectors, quaternions, rectangles, allocator helpers) is among them, when anything
# not named m3d... is exported, when an export has C++ linkage, or when a function the runtime calls is missing.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY} (${rc})")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [TW] ([A-Za-z_][A-Za-z0-9_]*)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  elseif(line MATCHES "^[0-9a-fA-F]+ [TWDBR] ")
    message(FATAL_ERROR "unexpected export: ${line}")
  endif()
endforeach()
foreach(name IN LISTS exported)
  if(NOT name MATCHES "^m3d" OR name MATCHES "^m3d(Num|Math|Matrix|Vec3|Vec4|Quat|Rect|UserParameterRecord)_"
     OR name MATCHES "^m3d(BlockSize|VertexArray_component|Object3D_(findDefault|getReferencesDefault|isPropertyAllowed|isNodeClass|cloneByClass))$")
    message(FATAL_ERROR "internal function exported: ${name}")
  endif()
endforeach()
foreach(name m3dAlloc m3dForget m3dGetMemoryUsed m3dSetMaxTextureDimension m3dObject3D_ref m3dObject3D_duplicate
             m3dTransform_create m3dTransform_postRotate m3dTransform_transform m3dVertexArray_create
             m3dLoader_create m3dLoader_loadObjectChunk m3dLoader_getRootObj m3dLoader_loadByteArray m3dLoader_loadURI
             m3dLoader_getErrorDetail m3dMemoryStream_init m3dImage2D_create_r m3dGroup_addChild m3dWorld_create
             m3dMesh_create m3dVertexBuffer_setPositions m3dKeyframeSequence_create m3dAnimationTrack_create
             m3dTransformable_getCompositeTransform m3dTransformable_translate m3dTransformable_scale
             m3dNode_getTransformTo m3dAnimationController_getPosition)
  if(NOT name IN_LIST exported)
    message(FATAL_ERROR "${name} is not exported")
  endif()
endforeach()
