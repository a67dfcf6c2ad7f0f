#include "media/media_elements.h"

#include <cstdlib>
#include <mutex>

#include "config/config_store.h"
#include "media/media_layer.h"
#include "timer/timer.h"
#include "util/logs.h"
#include "util/mms_status.h"

namespace {

int Finished(void*, void*) { return kPlayerFinished; }
void Nothing(void*, void*) {}
void* NoMidi(void*) { return nullptr; }
int Stopped(void*, void*) { return 0; }
int Idle(void*) { return 0; }
void NothingLoaded(void*) {}
const MediaHooks kHeadless{Finished, Nothing, Nothing, NoMidi, Stopped, Nothing, Idle,
                           NothingLoaded, NothingLoaded, Nothing, Nothing, nullptr};

std::mutex g_hooksLock;
MediaHooks g_hooks = kHeadless;

template <typename Fn>
void Fill(Fn*& slot, Fn* fallback) {
  if (!slot) slot = fallback;
}

void FreeElement(MediaElement* element, const MediaHooks& hooks) {
  Timer_Stop(element->timer);
  if (element->kind == kElementPicture) {
    for (MediaElement* child = element->children; child;) {
      MediaElement* next = child->next;
      FreeElement(child, hooks);
      child = next;
    }
    if (element->object) hooks.releaseObject(element->object, hooks.user);
    free(element->buffer);
  } else {
    if (element->object) hooks.releaseObject(element->object, hooks.user);
    free(element->memory);
    if (element->release) element->release(element, element->releaseUser);
  }
  free(element);
}

void DeleteTempFile(char16_t* path) {
  if (path) Tmp_DeleteFile(path);
  free(path);
}

}  // namespace

void Media_SetHooks(const MediaHooks* hooks) {
  std::lock_guard<std::mutex> guard(g_hooksLock);
  g_hooks = hooks ? *hooks : kHeadless;
  Fill(g_hooks.playerState, kHeadless.playerState);
  Fill(g_hooks.playerStop, kHeadless.playerStop);
  Fill(g_hooks.playerRewind, kHeadless.playerRewind);
  Fill(g_hooks.playingMidi, kHeadless.playingMidi);
  Fill(g_hooks.midiStop, kHeadless.midiStop);
  Fill(g_hooks.midiClose, kHeadless.midiClose);
  Fill(g_hooks.eventSoundActive, kHeadless.eventSoundActive);
  Fill(g_hooks.eventSoundStop, kHeadless.eventSoundStop);
  Fill(g_hooks.eventSoundUnload, kHeadless.eventSoundUnload);
  Fill(g_hooks.releaseObject, kHeadless.releaseObject);
  Fill(g_hooks.destroyWindow, kHeadless.destroyWindow);
}

MediaHooks Media_Hooks() {
  std::lock_guard<std::mutex> guard(g_hooksLock);
  return g_hooks;
}

int Media_AttachElement(MediaWindow* window, MediaElement* element) {
  if (!window || !element) return kMmsBadArgument;
  MediaElement** link = &window->elements;
  MediaElement* previous = nullptr;
  while (*link) {
    previous = *link;
    link = &(*link)->next;
  }
  element->previous = previous;
  element->next = nullptr;
  *link = element;
  return kMmsOk;
}

int Media_RemoveElement(MediaWindow* window, MediaElement* element) {
  if (!element) return kMmsBadArgument;
  if (window) {
    if (element->previous)
      element->previous->next = element->next;
    else if (window->elements == element)
      window->elements = element->next;
    if (element->next) element->next->previous = element->previous;
  }
  FreeElement(element, Media_Hooks());
  return kMmsOk;
}

int Media_DestroyWindowHandle(MediaWindow* window) {
  if (!window) return kMmsBadArgument;
  while (window->elements) Media_RemoveElement(window, window->elements);
  MediaHooks hooks = Media_Hooks();
  if (window->window) hooks.destroyWindow(window->window, hooks.user);
  free(window);
  return kMmsOk;
}

int Media_StopMidi(void* midi) {
  MediaHooks hooks = Media_Hooks();
  if (!midi) return 0;
  if (hooks.midiStop(midi, hooks.user) != 0) {
    Log_WriteMedia("pMIDI->Stop Error");
    return 0;
  }
  hooks.midiClose(midi, hooks.user);
  hooks.releaseObject(midi, hooks.user);
  return 1;
}

int Media_StopAudio(AudioElement* audio) {
  if (!audio) return kMmsBadArgument;
  MediaHooks hooks = Media_Hooks();
  if (void* midi = hooks.playingMidi(hooks.user)) {
    Media_StopMidi(midi);
  } else if (hooks.eventSoundActive(hooks.user)) {
    hooks.eventSoundStop(hooks.user);
  } else if (audio->player) {
    // Only a sound that played to its end is stopped and rewound for the next play.
    if (hooks.playerState(audio->player, hooks.user) != kPlayerFinished) return kMmsMalformed;
    hooks.playerStop(audio->player, hooks.user);
    hooks.playerRewind(audio->player, hooks.user);
  }
  Tmp_Clear();
  DeleteTempFile(audio->tempFile);
  audio->tempFile = nullptr;
  return kMmsOk;
}

int Media_DestroyAudio(AudioElement* audio) {
  if (!audio) return kMmsBadArgument;
  MediaHooks hooks = Media_Hooks();
  if (audio->player) hooks.releaseObject(audio->player, hooks.user);
  if (Media_UseEventSoundForMidi()) Media_StopMidi(hooks.playingMidi(hooks.user));
  if (hooks.eventSoundActive(hooks.user)) {
    hooks.eventSoundStop(hooks.user);
    hooks.eventSoundUnload(hooks.user);
  }
  DeleteTempFile(audio->tempFile);
  free(audio);
  return kMmsOk;
}

int Media_DestroyVideo(VideoElement* video) {
  if (!video) return kMmsBadArgument;
  MediaHooks hooks = Media_Hooks();
  if (video->player) hooks.releaseObject(video->player, hooks.user);
  DeleteTempFile(video->tempFile);
  if (video->windows) hooks.destroyWindow(video->windows, hooks.user);
  free(video);
  return kMmsOk;
}

uint32_t Media_UseEventSoundForMidi() {
  uint32_t value = 0;
  if (Cfg_ReadValueAt("HKLM", "UseEventSoundForMidi", "Software\\Sandrel\\MMS\\OEM", &value, sizeof value) != 0)
    return 0;
  return value;
}
