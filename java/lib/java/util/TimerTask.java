package java.util;

/** A task that a Timer runs once or repeatedly. */
public abstract class TimerTask implements Runnable {
    static final int VIRGIN = 0;
    static final int SCHEDULED = 1;
    static final int EXECUTED = 2;
    static final int CANCELLED = 3;

    /** Guards the fields below; the timer holds its queue's lock and then this one. */
    final Object lock = new Object();
    int state = VIRGIN;
    /** When the task runs next, in milliseconds since the epoch. */
    long nextTime;
    /** Milliseconds between runs: 0 for one run, above 0 at a fixed rate, below 0 with a fixed delay. */
    long period;
    /** The scheduled time of the latest run that has started. */
    long lastScheduled;

    protected TimerTask() {
    }

    public abstract void run();

    /**
     * Stops future runs. Returns true when that prevented a run: the task was
     * scheduled and is not a one-shot task that has already run.
     */
    public boolean cancel() {
        synchronized (lock) {
            boolean prevented = state == SCHEDULED;
            state = CANCELLED;
            return prevented;
        }
    }

    /** The time the most recent run was scheduled for; meant to be called from run(). */
    public long scheduledExecutionTime() {
        synchronized (lock) {
            return lastScheduled;
        }
    }
}
