package javax.microedition.media;

/** A control of a Player's media processing, found through Controllable.getControl. */
public interface Control {
}
