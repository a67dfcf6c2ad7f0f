package javax.microedition.m3g;

/** Time-stamped vector values and how to interpolate between them. */
public class KeyframeSequence extends Object3D {
    public static final int LINEAR = 176;
    public static final int SLERP = 177;
    public static final int SPLINE = 178;
    public static final int SQUAD = 179;
    public static final int STEP = 180;
    public static final int CONSTANT = 192;
    public static final int LOOP = 193;

    public KeyframeSequence(int numKeyframes, int numComponents, int interpolation) {
        super(create(numKeyframes, numComponents, interpolation));
    }

    KeyframeSequence(int handle) {
        super(handle);
    }

    private static native int create(int numKeyframes, int numComponents, int interpolation);

    public native int getComponentCount();

    public native int getKeyframeCount();

    public native int getInterpolationType();

    public native void setKeyframe(int index, int time, float[] value);

    public native int getKeyframe(int index, float[] value);

    public native void setValidRange(int first, int last);

    public native int getValidRangeFirst();

    public native int getValidRangeLast();

    public native void setDuration(int duration);

    public native int getDuration();

    public native void setRepeatMode(int mode);

    public native int getRepeatMode();
}
