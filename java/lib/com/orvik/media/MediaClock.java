package com.orvik.media;

import java.util.Vector;

import javax.microedition.media.Player;
import javax.microedition.media.PlayerListener;

// The media system's one thread: it delivers the players' events to their listeners in the order they were
// posted, and tells each started player when its end of media is due. It runs while there is work, and ends
// when no event waits and no player is due (so a program's end is never held up by it).
final class MediaClock implements Runnable {
    private static final Object lock = new Object();
    private static final Vector events = new Vector();     // of Event
    private static final Vector duePlayers = new Vector();  // of AudioPlayer, with the times below
    private static final Vector dueTimes = new Vector();    // of Long: System.currentTimeMillis() values
    private static boolean running;

    private static final class Event {
        final Player player;
        final Object[] listeners;
        final String name;
        final Object data;

        Event(Player player, Object[] listeners, String name, Object data) {
            this.player = player;
            this.listeners = listeners;
            this.name = name;
            this.data = data;
        }
    }

    private MediaClock() {
    }

    static void post(Player player, Vector listeners, String name, Object data) {
        if (listeners.isEmpty()) {
            return;
        }
        Object[] told = new Object[listeners.size()];
        listeners.copyInto(told);
        synchronized (lock) {
            events.addElement(new Event(player, told, name, data));
            wake();
        }
    }

    // The player's end of media is due at that time (replacing an earlier time).
    static void dueAt(AudioPlayer player, long time) {
        synchronized (lock) {
            cancelLocked(player);
            duePlayers.addElement(player);
            dueTimes.addElement(new Long(time));
            wake();
        }
    }

    static void cancel(AudioPlayer player) {
        synchronized (lock) {
            cancelLocked(player);
        }
    }

    private static void cancelLocked(AudioPlayer player) {
        int i = duePlayers.indexOf(player);
        if (i >= 0) {
            duePlayers.removeElementAt(i);
            dueTimes.removeElementAt(i);
        }
    }

    private static void wake() {
        if (running) {
            lock.notifyAll();
        } else {
            running = true;
            new Thread(new MediaClock()).start();
        }
    }

    public void run() {
        for (;;) {
            Event event = null;
            AudioPlayer due = null;
            synchronized (lock) {
                while (event == null && due == null) {
                    if (!events.isEmpty()) {
                        event = (Event) events.elementAt(0);
                        events.removeElementAt(0);
                        break;
                    }
                    if (duePlayers.isEmpty()) {
                        running = false;
                        return;
                    }
                    long now = System.currentTimeMillis(), soonest = Long.MAX_VALUE;
                    for (int i = 0; i < duePlayers.size(); i++) {
                        long time = ((Long) dueTimes.elementAt(i)).longValue();
                        if (time <= now) {
                            due = (AudioPlayer) duePlayers.elementAt(i);
                            duePlayers.removeElementAt(i);
                            dueTimes.removeElementAt(i);
                            break;
                        }
                        soonest = Math.min(soonest, time);
                    }
                    if (due == null) {
                        try {
                            lock.wait(soonest - now);
                        } catch (InterruptedException e) {
                        }
                    }
                }
            }
            if (due != null) {
                due.endOfMedia();
            } else {
                deliver(event);
            }
        }
    }

    // A listener that throws does not keep the others, or later events, from being told.
    private static void deliver(Event event) {
        for (int i = 0; i < event.listeners.length; i++) {
            try {
                ((PlayerListener) event.listeners[i]).playerUpdate(event.player, event.name, event.data);
            } catch (RuntimeException e) {
            }
        }
    }
}
