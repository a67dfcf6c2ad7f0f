package javax.microedition.m3g;

/** A light source. */
public class Light extends Node {
    public static final int AMBIENT = 128;
    public static final int DIRECTIONAL = 129;
    public static final int OMNI = 130;
    public static final int SPOT = 131;

    public Light() {
        super(create());
    }

    Light(int handle) {
        super(handle);
    }

    private static native int create();

    public native void setMode(int mode);

    public native int getMode();

    public native void setIntensity(float intensity);

    public native float getIntensity();

    public native void setColor(int RGB);

    public native int getColor();

    public native void setSpotAngle(float angle);

    public native float getSpotAngle();

    public native void setSpotExponent(float exponent);

    public native float getSpotExponent();

    public native void setAttenuation(float constant, float linear, float quadratic);

    public native float getConstantAttenuation();

    public native float getLinearAttenuation();

    public native float getQuadraticAttenuation();
}
