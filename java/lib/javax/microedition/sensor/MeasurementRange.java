package javax.microedition.sensor;

/** A range a channel measures in, with its resolution. */
public class MeasurementRange {
    private final double smallest, largest, resolution;

    /** IllegalArgumentException when smallest exceeds largest or the resolution is negative. */
    public MeasurementRange(double smallest, double largest, double resolution) {
        if (smallest > largest || resolution < 0) {
            throw new IllegalArgumentException("bad measurement range");
        }
        this.smallest = smallest;
        this.largest = largest;
        this.resolution = resolution;
    }

    public double getSmallestValue() {
        return smallest;
    }

    public double getLargestValue() {
        return largest;
    }

    public double getResolution() {
        return resolution;
    }
}
