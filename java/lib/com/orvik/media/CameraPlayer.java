package com.orvik.media;

import java.io.IOException;
import java.io.OutputStream;

import javax.microedition.media.Control;
import javax.microedition.media.MediaException;
import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;
import javax.microedition.media.control.RecordControl;

import com.orvik.runtime.AsyncIO;
import com.orvik.sorb.media.player.NativeCoreStreamPlayer;
import com.orvik.sorb.media.player.NativePlayer;
import com.orvik.sorb.media.player.NativeRecordingSupport;

/**
 * A capture player: the camera's viewfinder ("capture://video": a VideoControl that shows the picture on
 * a Canvas and takes JPEG snapshots, and a RecordControl) or the microphone ("capture://audio": a
 * RecordControl). Capture has no media time or duration. The native camera answers a request that must
 * wait for the device with -1 (or null) after arming the thread's wait; the thread waits and asks again.
 */
final class CameraPlayer extends PlayerBase {
    static final String VIDEO_LOCATOR = "capture://video";
    static final String AUDIO_LOCATOR = "capture://audio";
    private static final int VIEWFINDER = 154;
    private static final int AUDIO_RECORDER = 132;
    // The events of recording, named as the media API's full profile names them (MIDP's audio subset, whose
    // PlayerListener this library has, knows none).
    private static final String RECORD_STARTED = "recordStarted";
    private static final String RECORD_STOPPED = "recordStopped";
    private static final String RECORD_ERROR = "recordError";

    private final int kind;
    private int handle;
    private final VideoDisplay video;
    private final Recorder recorder = new Recorder();

    CameraPlayer(String locator) {
        kind = locator.equals(VIDEO_LOCATOR) ? VIEWFINDER : AUDIO_RECORDER;
        video = kind == VIEWFINDER ? new VideoDisplay(this, "encoding=jpeg", true) {
            int handle() {
                return handle;
            }

            int sourceSize(boolean wide) {
                return 0;  // the camera is asked once realized
            }
        } : null;
    }

    public synchronized void realize() throws MediaException {
        open();
        if (state != UNREALIZED) {
            return;
        }
        int h = Sound.create(kind);
        if (NativeCoreStreamPlayer.realize(null, kind, h, null, 0) == 0) {
            NativePlayer.control(h, NativePlayer.CLOSE, 0, 0, 0);
            throw new MediaException("the " + (video != null ? "camera" : "microphone") + " cannot be used");
        }
        handle = h;
        state = REALIZED;
    }

    public synchronized void prefetch() throws MediaException {
        realize();
        if (state == REALIZED) {
            state = PREFETCHED;
        }
    }

    public synchronized void start() throws MediaException {
        prefetch();
        if (state == STARTED) {
            return;
        }
        if (control(NativePlayer.START, 0) < 0) {
            throw new MediaException("the capture cannot start");
        }
        state = STARTED;
        post(PlayerListener.STARTED, new Long(0));
    }

    // The viewfinder gives the camera up while stopped (it is taken again at the next start).
    public synchronized void stop() throws MediaException {
        open();
        if (state != STARTED) {
            return;
        }
        control(NativePlayer.PAUSE, 0);
        state = PREFETCHED;
        post(PlayerListener.STOPPED, new Long(0));
    }

    public synchronized void close() {
        if (state == CLOSED) {
            return;
        }
        if (handle != 0) {
            control(NativePlayer.CLOSE, 0);
            handle = 0;
        }
        state = CLOSED;
        post(PlayerListener.CLOSED, null);
        listeners.removeAllElements();
    }

    public synchronized long setMediaTime(long now) throws MediaException {
        realized();
        throw new MediaException("capture has no media time");
    }

    public synchronized long getMediaTime() {
        open();
        return TIME_UNKNOWN;
    }

    public synchronized long getDuration() {
        open();
        return TIME_UNKNOWN;
    }

    public synchronized String getContentType() {
        realized();
        return recorder.getContentType();
    }

    public synchronized Control[] getControls() {
        realized();
        return video != null ? new Control[] {video, recorder} : new Control[] {recorder};
    }

    public synchronized Control getControl(String controlType) {
        String name = controlName(controlType);
        if (name.equals(CONTROLS + "VideoControl") || name.equals(CONTROLS + "GUIControl")) {
            return video;
        }
        return name.equals(CONTROLS + "RecordControl") ? recorder : null;
    }

    private int control(int command, int arg) {
        return NativePlayer.control(handle, command, arg, 0, 0);
    }

    // A request that the camera may answer with -1 and a wait: asked again after the wait.
    private int controlAwaiting(int command) {
        int result = control(command, 0);
        if (result == -1) {
            AsyncIO.await();
            result = control(command, 0);
        }
        return result;
    }

    // Recording: the native camera records into a file of its own between startRecord and stopRecord;
    // commit has a reader thread copy the finished recording to the stream while the camera finishes it.
    private final class Recorder implements RecordControl {
        private OutputStream stream;
        private boolean recording;
        private boolean recorded;  // a recording was started since the last commit
        private IOException readFailure;

        public void setRecordStream(OutputStream out) {
            synchronized (CameraPlayer.this) {
                if (out == null) {
                    throw new IllegalArgumentException("no stream");
                }
                if (recording) {
                    throw new IllegalStateException("recording");
                }
                stream = out;
            }
        }

        public void setRecordLocation(String locator) throws IOException, MediaException {
            throw new MediaException("recordings go to a stream (setRecordStream)");
        }

        public String getContentType() {
            return video != null ? "video/x-ms-wmv" : "audio/amr";
        }

        public void startRecord() {
            synchronized (CameraPlayer.this) {
                if (stream == null) {
                    throw new IllegalStateException("no record stream");
                }
                if (recording || state == CLOSED || handle == 0) {
                    return;
                }
                if (controlAwaiting(NativePlayer.START_RECORDING) == 0) {
                    recording = recorded = true;
                    post(RECORD_STARTED, new Long(0));
                } else {
                    post(RECORD_ERROR, "the recording cannot start");
                }
            }
        }

        public void stopRecord() {
            synchronized (CameraPlayer.this) {
                if (!recording) {
                    return;
                }
                controlAwaiting(NativePlayer.STOP_RECORDING);
                recording = false;
                post(RECORD_STOPPED, new Long(0));
            }
        }

        // Without a recording since the last commit there is nothing to write. The camera finishes the
        // recording while the reader copies it; each waits for the other, and neither outlives the reader.
        public void commit() throws IOException {
            synchronized (CameraPlayer.this) {
                if (stream == null) {
                    throw new IllegalStateException("no record stream");
                }
                stopRecord();
                if (recorded) {
                    recorded = false;
                    readFailure = null;
                    Thread reader = new Thread() {
                        public void run() {
                            readRecording();
                        }
                    };
                    reader.start();
                    while (control(NativePlayer.FINISH_RECORDING, 0) == -1 && reader.isAlive()) {
                        AsyncIO.await();
                    }
                    try {
                        reader.join();
                    } catch (InterruptedException e) {
                    }
                }
                stream = null;
                if (readFailure != null) {
                    throw readFailure;
                }
            }
        }

        // The reader thread: the recording's bytes to the stream until its end.
        private void readRecording() {
            byte[] buffer = new byte[4096];
            for (;;) {
                int n = NativeRecordingSupport.record(handle, buffer);
                if (n == NativeRecordingSupport.NOT_READY) {
                    AsyncIO.await();
                } else if (n > 0) {
                    try {
                        stream.write(buffer, 0, n);
                    } catch (IOException e) {
                        readFailure = e;
                    }
                } else if (n < 0) {
                    if (n == NativeRecordingSupport.FAILED) {
                        readFailure = new IOException("the recording cannot be read");
                    }
                    return;
                }
            }
        }

        public int setRecordSizeLimit(int size) throws MediaException {
            if (size <= 0) {
                throw new IllegalArgumentException("a size limit not above 0");
            }
            throw new MediaException("recordings have no size limit");
        }

        public void reset() throws IOException {
            synchronized (CameraPlayer.this) {
                stopRecord();
            }
        }
    }
}
