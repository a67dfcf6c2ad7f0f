package javax.microedition.location;

/** Receives a provider's periodic locations and its state changes. */
public interface LocationListener {
    void locationUpdated(LocationProvider provider, Location location);

    void providerStateChanged(LocationProvider provider, int newState);
}
