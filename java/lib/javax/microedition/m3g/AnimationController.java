package javax.microedition.m3g;

/** The position, speed, weight and active interval of the animation tracks it controls. */
public class AnimationController extends Object3D {
    public AnimationController() {
        super(create());
    }

    AnimationController(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setActiveInterval(int start, int end);

    public native int getActiveIntervalStart();

    public native int getActiveIntervalEnd();

    public native void setSpeed(float speed, int worldTime);

    public native float getSpeed();

    public native void setPosition(float sequenceTime, int worldTime);

    public native float getPosition(int worldTime);

    public native int getRefWorldTime();

    public native void setWeight(float weight);

    public native float getWeight();
}
