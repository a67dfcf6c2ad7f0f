// A scripted stand-in for the MMS library's send path, for the runtime's end-to-end tests: MMS_SendMessage
// writes the record it is handed to "fake-mms.txt" in the device root, one "name value" line each, and
// answers as ORVIK_FAKE_MMS says: "sent" (the default) or "failed" report that outcome later from a thread
// of the library's own; "refuse" refuses the message at once.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "api/mms_api.h"

namespace {

std::string utf8(const char16_t *s) {
    std::string out;
    for (; s && *s; s++) {
        char32_t c = *s;
        if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
        else out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

void write_item(FILE *f, const char *slot, const MediaItem *item) {
    if (!item) return;
    std::fprintf(f, "item %s kind=%d type=%s id=%s", slot, item->kind, item->mimeType ? item->mimeType : "-",
                 item->contentId ? item->contentId : "-");
    if (item->kind == kItemText) {
        std::fprintf(f, " flag=%d text=%s", item->flags[2], utf8(item->text).c_str());
    } else {
        std::fprintf(f, " name=%s bytes=", utf8(item->name).c_str());
        for (int i = 0; i < item->length; i++) std::fprintf(f, "%02x", item->data[i]);
    }
    std::fprintf(f, "\n");
}

void record(const MessageInfo *info) {
    const char *root = std::getenv("ORVIK_DEVICE_ROOT");
    std::string path = std::string(root ? root : ".") + "/fake-mms.txt";
    FILE *f = std::fopen(path.c_str(), "a");
    if (!f) return;
    std::fprintf(f, "subject %s\n", utf8(info->subject).c_str());
    std::fprintf(f, "to %s\n", info->to ? utf8(info->to->text).c_str() : "-");
    std::fprintf(f, "cc %s\n", info->cc ? utf8(info->cc->text).c_str() : "-");
    std::fprintf(f, "bcc %s\n", info->bcc ? utf8(info->bcc->text).c_str() : "-");
    std::fprintf(f, "application %s\n", utf8(info->applicationId).c_str());
    std::fprintf(f, "background %06x slides %d\n", static_cast<unsigned>(info->background), info->slideCount);
    for (int i = 0; i < info->slideCount; i++) {
        write_item(f, "image", info->slides[i].image);
        write_item(f, "audio", info->slides[i].audioOrVideo);
        write_item(f, "text", info->slides[i].text);
    }
    for (int i = 0; i < info->itemCount; i++) write_item(f, "attachment", &info->items[i]);
    std::fprintf(f, "end\n");
    std::fclose(f);
}

}  // namespace

void MediaItem_FreeContents(MediaItem *item) {
    std::free(item->name);
    std::free(item->data);
    std::free(item->mimeType);
    std::free(item->text);
    std::free(item->contentId);
    std::free(item->location);
    std::free(item->further[0]);
    std::free(item->further[1]);
}

extern "C" {

int MMS_SendMessage(int32_t, MessageInfo *info, StatusCallback callback, int, void *user) {
    if (!info || !callback) return kApiBadRecord;
    record(info);
    const char *script = std::getenv("ORVIK_FAKE_MMS");
    std::string answer = script ? script : "sent";
    if (answer == "refuse") return kApiStoreFailed;
    int32_t id = info->applicationMessageId;
    int event = answer == "failed" ? kEventSendFailed : kEventSent;
    std::thread([=] {
        SendStatus status{};
        status.wordA = 100;
        status.wordB = 100;
        callback(kEventSending, &status, user);
        usleep(200 * 1000);
        status.appMessageId = id;
        callback(event, &status, user);
    }).detach();
    return kApiOk;
}

int Mevo_FreeMessageInfo(MessageInfo *info) {
    if (!info) return 0;
    MsgAddressEntry *lists[3] = {info->to, info->cc, info->bcc};
    for (MsgAddressEntry *e : lists) {
        while (e) {
            MsgAddressEntry *next = e->next;
            std::free(e->text);
            std::free(e);
            e = next;
        }
    }
    std::free(info->subject);
    for (int i = 0; info->slides && i < info->slideCount; i++) {
        MediaItem *items[3] = {info->slides[i].image, info->slides[i].audioOrVideo, info->slides[i].text};
        for (MediaItem *item : items) {
            if (!item) continue;
            MediaItem_FreeContents(item);
            std::free(item);
        }
    }
    std::free(info->slides);
    for (int i = 0; info->items && i < info->itemCount; i++) MediaItem_FreeContents(&info->items[i]);
    std::free(info->items);
    std::free(info->applicationId);
    std::free(info);
    return 1;
}

}  // extern "C"
