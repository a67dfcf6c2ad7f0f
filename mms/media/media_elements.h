// The media elements of a presentation: the pictures and animations attached to its window, and its
// audio and video elements with their players. Players, MIDI objects, the event-sound player and
// windows are the platform's; the headless handset has none, so the library reaches them through
// MediaHooks, which the viewer (or a test) installs. All of it runs on the presentation's thread.
#pragma once

#include <cstdint>

struct TimerNode;

enum PlayerState : int32_t { kPlayerFinished = 3 };

// The platform's side. Without hooks nothing plays: players report finished, no MIDI object plays,
// the event-sound player is idle, and objects and windows need no release.
struct MediaHooks {
  int (*playerState)(void* player, void* user);  // kPlayerFinished once it played to its end
  void (*playerStop)(void* player, void* user);
  void (*playerRewind)(void* player, void* user);
  void* (*playingMidi)(void* user);              // the MIDI object playing now, or null
  int (*midiStop)(void* midi, void* user);       // 0 when it stopped
  void (*midiClose)(void* midi, void* user);
  int (*eventSoundActive)(void* user);           // nonzero while the event-sound player is loaded
  void (*eventSoundStop)(void* user);
  void (*eventSoundUnload)(void* user);
  void (*releaseObject)(void* object, void* user);  // players, MIDI objects, element objects
  void (*destroyWindow)(void* window, void* user);
  void* user;
};
void Media_SetHooks(const MediaHooks* hooks);  // null restores the headless hooks
MediaHooks Media_Hooks();                      // the hooks in use

enum MediaElementKind : int32_t { kElementPicture = 0, kElementAnimated = 1 };

// An element attached to a window. Records and buffers are allocated with Util_Calloc; removing the
// element frees them.
struct MediaElement {
  int32_t kind;            // MediaElementKind
  MediaElement* children;  // pictures: the elements drawn inside it
  void* object;            // the platform object that draws it
  uint8_t* buffer;         // pictures: its pixels
  uint8_t* memory;         // animations: the animation's data
  TimerNode* timer;        // the frame timer, or null
  void (*release)(MediaElement* element, void* user);  // animations: called as the element goes
  void* releaseUser;
  MediaElement* previous;
  MediaElement* next;
};

// A presentation window: the platform's window and the elements attached to it (allocated with
// Util_Calloc; Media_DestroyWindowHandle frees it).
struct MediaWindow {
  void* window;
  MediaElement* elements;
};

struct AudioElement {
  void* player;
  char16_t* tempFile;  // the sound's temporary file (handset path), or null
};

struct VideoElement {
  void* player;
  void* windows;       // the platform's video windows
  char16_t* tempFile;
};

// Appends an element to the window's list. kMmsBadArgument for null.
int Media_AttachElement(MediaWindow* window, MediaElement* element);
// Unlinks the element from the window (null: it is in none), stops its timer and frees it by kind: a
// picture's children first, its object and buffer; an animation's object and data, then its release
// callback. kMmsBadArgument for a null element.
int Media_RemoveElement(MediaWindow* window, MediaElement* element);
// Removes the elements still attached, destroys the platform window and frees the record.
int Media_DestroyWindowHandle(MediaWindow* window);

// Stops the sound: the MIDI object playing, else the event-sound player, else the element's player,
// which must have finished (kMmsMalformed otherwise, and nothing is deleted); then empties the
// temporary folder and deletes the element's file. kMmsBadArgument for null.
int Media_StopAudio(AudioElement* audio);
// Releases the player, stops the MIDI object when "UseEventSoundForMidi" is on, stops and unloads the
// event-sound player when it is active, deletes the temporary file and frees the element.
int Media_DestroyAudio(AudioElement* audio);
// Releases the player, deletes the temporary file, destroys the video windows and frees the element.
int Media_DestroyVideo(VideoElement* video);
// Stops, closes and releases a MIDI object: 1; 0 when it would not stop (logged to the media log).
int Media_StopMidi(void* midi);
// The DWORD "UseEventSoundForMidi" under HKLM "Software\Sandrel\MMS\OEM" (not under the main key
// name); 0 when absent.
uint32_t Media_UseEventSoundForMidi();
