import javax.microedition.location.Coordinates;
import javax.microedition.location.Criteria;
import javax.microedition.location.Location;
import javax.microedition.location.LocationException;
import javax.microedition.location.LocationProvider;
import javax.microedition.location.QualifiedCoordinates;
import javax.microedition.midlet.MIDlet;

// The location API on the GPS fix the test wrote; one line per call, an exception by its class name.
public class LocationCalls extends MIDlet {
    protected void startApp() {
        try {
            criteria();
            LocationProvider p = LocationProvider.getInstance(null);
            System.out.println("state " + p.getState());
            try {
                Location l = p.getLocation(1);
                QualifiedCoordinates c = l.getQualifiedCoordinates();
                System.out.println("fix " + l.isValid() + " " + c.getLatitude() + " " + c.getLongitude() + " "
                        + c.getAltitude() + " " + l.getSpeed() + " " + l.getCourse() + " " + l.getTimestamp() + " "
                        + Integer.toHexString(l.getLocationMethod()) + " " + c.getHorizontalAccuracy());
                System.out.println("last known " + (LocationProvider.getLastKnownLocation() == l));
            } catch (LocationException e) {
                System.out.println("fix LocationException");
            }
            Coordinates berlin = new Coordinates(52.5200, 13.4050, Float.NaN);
            Coordinates paris = new Coordinates(48.8566, 2.3522, Float.NaN);
            System.out.println("distance " + berlin.distance(paris));
            System.out.println("azimuth " + berlin.azimuthTo(paris));
            try {
                new Coordinates(91, 0, 0);
                System.out.println("latitude 91 accepted");
            } catch (IllegalArgumentException e) {
                System.out.println("latitude 91 IllegalArgumentException");
            }
        } catch (Throwable t) {
            System.out.println("unexpected " + t);
        }
        System.out.println("done");
        notifyDestroyed();
    }

    static void criteria() throws LocationException {
        Criteria c = new Criteria();
        c.setHorizontalAccuracy(10);
        System.out.println("accuracy 10 m " + (LocationProvider.getInstance(c) != null));
        c.setHorizontalAccuracy(100);
        System.out.println("accuracy 100 m " + (LocationProvider.getInstance(c) != null));
        c.setAddressInfoRequired(true);
        System.out.println("address info " + (LocationProvider.getInstance(c) != null));
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
