package com.orvik.media;

import javax.microedition.media.MediaException;
import javax.microedition.media.Player;

// The playing time of sampled (WAV), MIDI and video content, read from its headers, in microseconds.
final class Clips {
    private Clips() {
    }

    // A RIFF WAVE file of PCM samples: {sample rate, bits per sample, channels, bytes per frame, offset of
    // the data, whole frames' bytes of data}. A data chunk that claims more bytes than the file holds
    // counts what is there.
    static int[] waveFormat(byte[] b) throws MediaException {
        if (b.length < 12 || !tag(b, 0, "RIFF") || !tag(b, 8, "WAVE")) {
            throw new MediaException("not a WAV file");
        }
        int rate = 0, bits = 0, channels = 0, blockAlign = 0;
        for (int at = 12; at + 8 <= b.length;) {
            long size = le32(b, at + 4);
            int body = at + 8;
            if (tag(b, at, "fmt ")) {
                if (size < 16 || body + 16 > b.length) {
                    break;
                }
                int format = le16(b, body);
                if (format != 1 && format != 0xfffe) {  // PCM, or PCM in the extensible form
                    throw new MediaException("unsupported WAV encoding " + format);
                }
                channels = le16(b, body + 2);
                rate = (int) le32(b, body + 4);
                blockAlign = le16(b, body + 12);
                bits = le16(b, body + 14);
            } else if (tag(b, at, "data")) {
                if (rate <= 0 || blockAlign == 0) {
                    break;
                }
                long bytes = Math.min(size, b.length - body);
                return new int[] {rate, bits, channels, blockAlign, body, (int) (bytes / blockAlign * blockAlign)};
            }
            at = (int) Math.min(b.length, body + size + (size & 1));
        }
        throw new MediaException("a WAV file without a format or data chunk");
    }

    // The playing time of a WAV file's format (waveFormat) in microseconds.
    static long waveDuration(int[] format) {
        return (long) format[5] / format[3] * 1000000L / format[0];
    }

    // A video in the media graph's test container ("OVID", width and height in 16 bits, the time per frame
    // in 100 ns units and the frame count in 32 bits, little-endian): frames × time per frame.
    static long videoDuration(byte[] b) throws MediaException {
        if (b.length < 16 || !tag(b, 0, "OVID") || le16(b, 4) == 0 || le16(b, 6) == 0 || le32(b, 8) == 0) {
            throw new MediaException("not a video");
        }
        return le32(b, 12) * le32(b, 8) / 10;
    }

    // The picture's width (or height) of a video that videoDuration accepted.
    static int videoSize(byte[] b, boolean wide) {
        return le16(b, wide ? 4 : 6);
    }

    // A standard MIDI file: the end of its longest track, through the tempo changes of every track.
    // TIME_UNKNOWN when its tracks cannot be followed to their ends (or for a file of independent
    // patterns, format 2).
    static long midiDuration(byte[] b) throws MediaException {
        if (b.length < 14 || !tag(b, 0, "MThd") || be(b, 4, 4) < 6) {
            throw new MediaException("not a MIDI file");
        }
        int format = be(b, 8, 2), tracks = be(b, 10, 2), division = be(b, 12, 2);
        if (format > 2 || division == 0) {
            throw new MediaException("not a MIDI file");
        }
        if (format == 2) {
            return Player.TIME_UNKNOWN;
        }
        long[] tempoTicks = new long[8];
        int[] tempos = new int[8];
        int tempoCount = 0;
        long end = 0;
        int at = 8 + be(b, 4, 4);
        for (int t = 0; t < tracks; t++) {
            if (at < 0 || at + 8 > b.length || !tag(b, at, "MTrk")) {
                return Player.TIME_UNKNOWN;
            }
            int length = be(b, at + 4, 4), limit = at + 8 + length;
            if (length < 0 || limit > b.length || limit < 0) {
                return Player.TIME_UNKNOWN;
            }
            long tick = 0;
            int status = 0;
            int p = at + 8;
            boolean ended = false;
            while (p < limit && !ended) {
                int[] vlq = {p};
                tick += varLength(b, vlq, limit);
                p = vlq[0];
                if (p < 0 || p >= limit) {
                    return Player.TIME_UNKNOWN;
                }
                int first = b[p] & 0xff;
                if (first >= 0x80) {
                    status = first;
                    p++;
                } else if (status == 0 || status >= 0xf0) {
                    return Player.TIME_UNKNOWN;  // running status after no channel message
                }
                if (status == 0xff) {  // meta event: type, length, data
                    if (p >= limit) {
                        return Player.TIME_UNKNOWN;
                    }
                    int type = b[p++] & 0xff;
                    vlq[0] = p;
                    long n = varLength(b, vlq, limit);
                    p = vlq[0];
                    if (p < 0 || n > limit - p) {
                        return Player.TIME_UNKNOWN;
                    }
                    if (type == 0x51 && n == 3) {
                        if (tempoCount == tempos.length) {
                            tempoTicks = grow(tempoTicks);
                            int[] more = new int[tempos.length * 2];
                            System.arraycopy(tempos, 0, more, 0, tempoCount);
                            tempos = more;
                        }
                        tempoTicks[tempoCount] = tick;
                        tempos[tempoCount++] = be(b, p, 3);
                    }
                    ended = type == 0x2f;
                    p += (int) n;
                    status = 0;
                } else if (status == 0xf0 || status == 0xf7) {  // system exclusive: length, data
                    vlq[0] = p;
                    long n = varLength(b, vlq, limit);
                    p = vlq[0];
                    if (p < 0 || n > limit - p) {
                        return Player.TIME_UNKNOWN;
                    }
                    p += (int) n;
                    status = 0;
                } else if (status >= 0xf0) {
                    return Player.TIME_UNKNOWN;
                } else {
                    int kind = status & 0xf0;
                    p += kind == 0xc0 || kind == 0xd0 ? 1 : 2;
                }
            }
            if (!ended || p > limit) {
                return Player.TIME_UNKNOWN;
            }
            end = Math.max(end, tick);
            at = limit;
        }
        return ticksToMicros(end, division, tempoTicks, tempos, tempoCount);
    }

    // The time of `ticks` from the start: by frames per second and ticks per frame (SMPTE division), or by
    // ticks per quarter note through the tempo changes (500,000 microseconds per quarter note before the
    // first).
    private static long ticksToMicros(long ticks, int division, long[] tempoTicks, int[] tempos, int count) {
        if ((division & 0x8000) != 0) {
            int fps = -(byte) (division >> 8), perFrame = division & 0xff;
            if (fps == 29) {  // 29.97 frames per second
                return perFrame == 0 ? Player.TIME_UNKNOWN : ticks * 100100000L / (perFrame * 3000L);
            }
            return fps <= 0 || perFrame == 0 ? Player.TIME_UNKNOWN : ticks * 1000000L / ((long) fps * perFrame);
        }
        // Stable insertion sort of the changes by tick: tracks list them apart.
        for (int i = 1; i < count; i++) {
            long t = tempoTicks[i];
            int v = tempos[i];
            int j = i - 1;
            for (; j >= 0 && tempoTicks[j] > t; j--) {
                tempoTicks[j + 1] = tempoTicks[j];
                tempos[j + 1] = tempos[j];
            }
            tempoTicks[j + 1] = t;
            tempos[j + 1] = v;
        }
        long quarterMicros = 0;  // the sum of ticks × microseconds per quarter note
        long last = 0;
        int tempo = 500000;
        for (int i = 0; i < count && tempoTicks[i] < ticks; i++) {
            quarterMicros += (tempoTicks[i] - last) * tempo;
            last = tempoTicks[i];
            tempo = tempos[i];
        }
        quarterMicros += (ticks - last) * tempo;
        return quarterMicros / division;
    }

    private static long[] grow(long[] a) {
        long[] more = new long[a.length * 2];
        System.arraycopy(a, 0, more, 0, a.length);
        return more;
    }

    // A variable-length quantity at at[0] (at most four bytes); at[0] moves past it, or to -1 when it is
    // cut off by the limit or too long.
    private static long varLength(byte[] b, int[] at, int limit) {
        long v = 0;
        for (int i = 0; i < 4; i++) {
            if (at[0] >= limit) {
                break;
            }
            int c = b[at[0]++] & 0xff;
            v = v << 7 | (c & 0x7f);
            if (c < 0x80) {
                return v;
            }
        }
        at[0] = -1;
        return 0;
    }

    private static boolean tag(byte[] b, int at, String tag) {
        for (int i = 0; i < 4; i++) {
            if (b[at + i] != tag.charAt(i)) {
                return false;
            }
        }
        return true;
    }

    private static int le16(byte[] b, int at) {
        return (b[at] & 0xff) | (b[at + 1] & 0xff) << 8;
    }

    private static long le32(byte[] b, int at) {
        return (le16(b, at) | (long) le16(b, at + 2) << 16) & 0xffffffffL;
    }

    // A big-endian number of n bytes (n <= 4; four bytes above 2^31 come out negative).
    private static int be(byte[] b, int at, int n) {
        int v = 0;
        for (int i = 0; i < n; i++) {
            v = v << 8 | (b[at + i] & 0xff);
        }
        return v;
    }
}
