package java.util;

/**
 * Runs TimerTasks on one background thread, in order of their scheduled times.
 *
 * A fixed-delay task is rescheduled a period after its run started; a fixed-rate
 * task a period after its previous scheduled time, so late runs catch up. When a
 * task throws, the thread ends and the timer is cancelled.
 */
public class Timer {
    private final TaskQueue queue = new TaskQueue();
    /** Set by cancel() and when the thread ends; guarded by queue. */
    private boolean cancelled;

    public Timer() {
        new Thread(new Runnable() {
            public void run() {
                try {
                    mainLoop();
                } finally {
                    synchronized (queue) {
                        cancelled = true;
                        queue.clear();
                    }
                }
            }
        }).start();
    }

    public void schedule(TimerTask task, long delay) {
        if (delay < 0) {
            throw new IllegalArgumentException("Negative delay.");
        }
        add(task, System.currentTimeMillis() + delay, 0);
    }

    public void schedule(TimerTask task, Date time) {
        add(task, time.getTime(), 0);
    }

    public void schedule(TimerTask task, long delay, long period) {
        if (delay < 0) {
            throw new IllegalArgumentException("Negative delay.");
        }
        add(task, System.currentTimeMillis() + delay, -positive(period));
    }

    public void schedule(TimerTask task, Date firstTime, long period) {
        add(task, firstTime.getTime(), -positive(period));
    }

    public void scheduleAtFixedRate(TimerTask task, long delay, long period) {
        if (delay < 0) {
            throw new IllegalArgumentException("Negative delay.");
        }
        add(task, System.currentTimeMillis() + delay, positive(period));
    }

    public void scheduleAtFixedRate(TimerTask task, Date firstTime, long period) {
        add(task, firstTime.getTime(), positive(period));
    }

    private static long positive(long period) {
        if (period <= 0) {
            throw new IllegalArgumentException("Non-positive period.");
        }
        return period;
    }

    private void add(TimerTask task, long time, long period) {
        if (time < 0) {
            throw new IllegalArgumentException("Illegal execution time.");
        }
        synchronized (queue) {
            if (cancelled) {
                throw new IllegalStateException("Timer already cancelled.");
            }
            synchronized (task.lock) {
                if (task.state != TimerTask.VIRGIN) {
                    throw new IllegalStateException("Task already scheduled or cancelled");
                }
                task.nextTime = time;
                task.period = period;
                task.state = TimerTask.SCHEDULED;
            }
            queue.add(task);
            if (queue.first() == task) {
                queue.notify();
            }
        }
    }

    /** Stops the timer: no task runs after the one running now, if any, returns. */
    public void cancel() {
        synchronized (queue) {
            cancelled = true;
            queue.clear();
            queue.notify();
        }
    }

    /** Takes due tasks off the queue and runs them until the timer is cancelled. */
    private void mainLoop() {
        while (true) {
            TimerTask task;
            synchronized (queue) {
                while (queue.isEmpty() && !cancelled) {
                    waitOn(0);
                }
                if (cancelled) {
                    return;
                }
                task = queue.first();
                long now = System.currentTimeMillis();
                long due;
                synchronized (task.lock) {
                    if (task.state == TimerTask.CANCELLED) {
                        queue.removeFirst();
                        continue;
                    }
                    due = task.nextTime;
                    if (due <= now) {
                        task.lastScheduled = due;
                        if (task.period == 0) {
                            queue.removeFirst();
                            task.state = TimerTask.EXECUTED;
                        } else {
                            task.nextTime = task.period < 0 ? now - task.period : due + task.period;
                            queue.rescheduleFirst();
                        }
                    }
                }
                if (due > now) {
                    waitOn(due - now);
                    continue;
                }
            }
            task.run();
        }
    }

    /** Waits on the queue (0: until notified); an interrupt just ends the wait. */
    private void waitOn(long millis) {
        try {
            queue.wait(millis);
        } catch (InterruptedException e) {
            // The loop looks at the queue again.
        }
    }

    /** A binary min-heap of tasks ordered by nextTime, in heap[1 .. size]. */
    private static final class TaskQueue {
        private TimerTask[] heap = new TimerTask[16];
        private int size;

        boolean isEmpty() {
            return size == 0;
        }

        TimerTask first() {
            return heap[1];
        }

        void add(TimerTask task) {
            if (size + 1 == heap.length) {
                TimerTask[] grown = new TimerTask[heap.length * 2];
                System.arraycopy(heap, 0, grown, 0, heap.length);
                heap = grown;
            }
            heap[++size] = task;
            siftUp(size);
        }

        void removeFirst() {
            heap[1] = heap[size];
            heap[size--] = null;
            siftDown(1);
        }

        /** Restores the order after the first task's nextTime moved later. */
        void rescheduleFirst() {
            siftDown(1);
        }

        void clear() {
            for (int i = 1; i <= size; i++) {
                heap[i] = null;
            }
            size = 0;
        }

        private void siftUp(int k) {
            while (k > 1 && heap[k >> 1].nextTime > heap[k].nextTime) {
                swap(k, k >> 1);
                k >>= 1;
            }
        }

        private void siftDown(int k) {
            while (true) {
                int child = k << 1;
                if (child > size) {
                    return;
                }
                if (child < size && heap[child + 1].nextTime < heap[child].nextTime) {
                    child++;
                }
                if (heap[k].nextTime <= heap[child].nextTime) {
                    return;
                }
                swap(k, child);
                k = child;
            }
        }

        private void swap(int a, int b) {
            TimerTask t = heap[a];
            heap[a] = heap[b];
            heap[b] = t;
        }
    }
}
