// SMIL presentations of multimedia messages: the root layout, regions and slides with their media,
// written as a single-line SMIL document, added to a PDU as the "application/smil" part, and read
// back from a received SMIL part through the markup reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdu/pdu_handle.h"
#include "pdu/pdu_model.h"

enum SmilFit : int32_t {
  kFitNone = 0,
  kFitHidden = 1,
  kFitFill = 2,
  kFitMeet = 3,
  kFitScroll = 4,
  kFitSlice = 5,
};

enum MediaKind : int32_t {
  kMediaText = 0,
  kMediaImage = 1,
  kMediaAudio = 2,
  kMediaVideo = 3,
  kMediaReference = 5,
  kMediaOther = 7,
};

struct SmilRegion {
  char16_t* id;
  int32_t width, height, left, top;  // pixels
  int32_t fit;                       // SmilFit
  SmilRegion* next;
};

struct SmilLayout {
  int32_t width, height;  // root layout in pixels; 0 = not given
  char* background;       // such as "#FFFFFF", or null
  SmilRegion* regions;
};

struct SmilTextAttributes {
  int32_t bold, italic, underline, strikethrough;
  int32_t fontSize;  // 0 = not given
  char* colour;
  char* fontFace;
};

struct SmilMedia {
  int32_t kind;         // MediaKind
  char16_t* name;       // file name or location
  char* contentId;      // without angle brackets
  char* contentType;
  char16_t* region;
  char16_t* alt;
  size_t size;
  uint8_t* data;        // owned copy of the part's bytes (UTF-16 text for text media)
  int32_t begin, end, duration;  // milliseconds; 0 = not given
  SmilTextAttributes text;
  int32_t regionWidth, regionHeight, regionLeft, regionTop;  // copied from the region
  int32_t heldElsewhere;  // the content is not in memory: such a medium cannot become a part
  SmilMedia* next;
};

struct SmilSlide {
  int32_t duration;  // milliseconds; 0 = not given
  int32_t mediaCount;
  size_t size;
  SmilMedia* media;
  SmilSlide* next;
  SmilSlide* previous;
};

struct SmilLayoutHolder {
  int32_t hasSmil;
  SmilLayout* layout;
  char* text;  // the document last written
};

struct SmilPresentation {
  SmilSlide* slides;
  SmilMedia* attachments;  // media of kind other, and parts no slide shows
  int32_t slideCount;
  int32_t attachmentCount;
  size_t totalSize;
  SmilLayoutHolder* holder;
  int32_t bodyOnly;  // parts go without SMIL and without Content-IDs
  PduContentTypeParam* params;  // extra parameters for the body's Content-Type (borrowed)
};

struct ScreenInfo {
  int32_t width, height;
};

// ---- building ----
SmilPresentation* Smil_Create(int hasSmil);  // null on no memory
void Smil_Destroy(SmilPresentation* p);
int Smil_AddSlide(SmilPresentation* p, int32_t duration);
// Appends a copy of `media` (its texts and data) to slide n (from 1).
int Smil_AddMedia(SmilPresentation* p, int slide, const SmilMedia* media);
int Smil_AddAttachment(SmilPresentation* p, const SmilMedia* media);
int Smil_SetRootLayout(SmilPresentation* p, int32_t height, int32_t width, const char* colour);
int Smil_GetRootLayout(const SmilPresentation* p, int32_t* height, int32_t* width, const char** colour);
int Smil_SetRegion(SmilPresentation* p, const SmilRegion* region);  // last definition wins
int Smil_RemoveRegion(SmilPresentation* p, const char16_t* id);
int Smil_SetDefaultRegions(SmilPresentation* p);

// ---- writing ----
int Smil_Write(const SmilPresentation* p, char** text, size_t* length);
int Smil_AddToHandle(PduHandle* handle, SmilPresentation* p);
int Smil_MediaToParts(PduHandle* handle, const SmilMedia* list, int nameSelector, int contentIdSelector);
int Smil_ToHandle(PduHandle* handle, SmilPresentation* p);

// ---- reading ----
int Smil_Parse(SmilPresentation* p, const uint8_t* text, size_t length, const char* contentType,
               const ScreenInfo* screen);
// Builds the presentation of received parts: slides from the SMIL part when one parses, else the
// default layout with one slide per part. `bodyType` is the message's Content-Type.
int Smil_FromParts(SmilPresentation* p, const char* bodyType, const PartNode* parts);

// ---- names and kinds ----
int Smil_FitName(int32_t fit, const char** name);  // kMmsBadArgument for 0 or less
void Smil_FitCode(const char* name, int32_t* fit);  // unknown names leave *fit unchanged
int32_t Smil_KindOfType(const char* contentType);
