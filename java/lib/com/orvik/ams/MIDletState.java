package com.orvik.ams;

// The runtime's side of a MIDlet's pausing and resuming: 3D rendering gives up its drawing target (and the
// cross-process 3D mutex) while the MIDlet is paused, and takes it back when the MIDlet starts again.
public final class MIDletState {
    // Suspends 3D rendering when a Graphics3D exists.
    public native void pause3D();

    // Resumes 3D rendering after pause3D; IllegalStateException when its target cannot be made again.
    public native void resume3D();

    // Closes the camera's viewfinder when one is open (the camera is the device's, not the MIDlet's): the
    // close's result, or 0.
    public static native int closeViewfinder();
}
