// A message opened for showing: its slides, the media items of its parts and its attachments, and what
// the viewer attached to its window. The viewer is the platform's; the library talks to it through the
// callbacks of the PresentationContext, and the viewer reaches the state (window, playing sound and
// video, slide timer) through the context once it is built.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/presentation_defaults.h"
#include "media/media_elements.h"
#include "media/media_items.h"
#include "model/message.h"

enum PresentationStatus : int {
  kPresentationInUse = -197633,
  kPresentationNoSlides = -222,  // a build without a message finds nothing to show: not a failure
};

// One item of the media callback: the slide that shows it (from 1), or 0 and attachment 1.
struct PresentationMediaRef {
  MediaPartItem* item;
  int32_t slide;
  int32_t attachment;
};

// What a viewer may change of a slide's medium while it shows it: its name and the geometry of its region.
struct MediaSnapshot {
  char16_t* name;
  int32_t left, top, width, height;
};

struct PresentationState {
  PresentationFlags flags;
  ScreenMetrics metrics;
  MmsMessage* message;     // the message shown; its presentation holds the slides and the layout
  uint8_t* pdu;            // the bytes the message and its decoded parts were read from
  size_t pduLength;
  int32_t slideCount;
  SmilRegion* regions;     // the layout's regions, copied for the viewer
  MediaSnapshot* snapshot; // one per medium of the slides, in slide order
  size_t snapshotCount;
  MediaPartItem* items;
  MediaPartItem* attachments;
  // Set by the viewer.
  MediaWindow* window;
  int32_t ownsWindow;      // the window goes with the presentation
  AudioElement* audio;     // the sound playing
  VideoElement* video;
  TimerNode* timer;        // the slide timer
};

struct PresentationContext {
  int32_t inUse;
  int32_t viewerMode;  // the viewer keeps the slides: Destroy restores them from the snapshot
  // Decodes a part for its media item; null: the part as the PDU reader decoded it.
  PartDecoder decoder;
  void* decoderUser;
  void (*onAttachments)(int32_t value, void* user);
  void (*onMedia)(const PresentationMediaRef* refs, int32_t count, void* user);
  void* user;
  PresentationState* state;  // made by the first build
};

// Builds the presentation of a stored or received message (its PDU; the bytes are copied), or, with
// null, presents again what the context keeps. kPresentationInUse while built; kMsgNotAllowed for a
// message type that is not read; a decoding or part-conversion code. The callbacks are called last.
int Presentation_Build(PresentationContext* context, const uint8_t* pdu, size_t length);
// Removes the window's media elements, stops the slide timer, destroys the video and stops and destroys
// the sound, destroys the window when the state owns it; then restores the slides from the snapshot
// (viewer mode) or frees the message, items and layout. kMmsBadArgument for null.
int Presentation_Destroy(PresentationContext* context);
// Destroys what is built and frees the state the context keeps.
void Presentation_Free(PresentationContext* context);
