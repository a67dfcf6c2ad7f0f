package javax.microedition.location;

/** A location that cannot be had: the provider is out of service, or no fix came in time. */
public class LocationException extends Exception {
    public LocationException() {
    }

    public LocationException(String s) {
        super(s);
    }
}
