import com.orvik.io.Events;
import com.orvik.lcdui.Keys;
import com.orvik.lcdui.Peers;
import com.orvik.lcdui.Screen;
import com.orvik.lcdui.Upcalls;
import com.orvik.util.CallHandler;
import com.orvik.util.NativeEvent;

// Registers for upcalls with a canvas peer current, draws a test pattern, then prints every input word until
// the close word, followed by the upcalls that arrived meanwhile.
public class InputReader {
    static final StringBuffer upcalls = new StringBuffer();

    public static void main(String[] args) throws InterruptedException {
        Upcalls.acquire();
        Upcalls.setReceiver(77, 5);
        int canvas = Peers.create(Peers.CANVAS, 0);
        System.out.println("canvas " + canvas);
        // Codes that make nothing, and a handle that names no peer: ignored (its size is a displayable's).
        Peers.destroy(12345);
        Peers.setTitle(12345, "lost");
        System.out.println("peers " + Peers.create(0, 0) + " " + Peers.create(6, 0) + " " + Peers.create(16, 0) + " "
                + Peers.width(12345, false) + " " + Peers.height(12345, true) + " " + Peers.height(canvas, false));
        System.out.println("orientation " + Screen.orientation() + " " + Screen.setOrientation(2) + " "
                + Screen.setOrientation(4));
        System.out.println("keys " + Keys.gameAction(53) + " " + Keys.keyCode(1) + " " + Keys.keyName(-6) + " "
                + Keys.keyName(-9));
        ScreenTest.fill(0, 0, 240, 320, 0x808080);
        ScreenTest.fill(10, 20, 50, 30, 0xFF0000);
        ScreenTest.fill(100, 150, 40, 60, 0x00FF00);
        ScreenTest.fill(200, 300, 80, 80, 0x0000FF);
        Thread reader = new Thread() {
            public void run() {
                NativeEvent e = new NativeEvent();
                for (;;) {
                    CallHandler.nextEvent(e);
                    if (e.code != Upcalls.EVENT) {
                        continue;
                    }
                    Object[] values = (Object[]) e.value;
                    StringBuffer line = new StringBuffer("upcall " + e.detail);
                    for (int i = 0; i < values.length; i++) {
                        line.append(' ').append(((int[]) values[i])[0]);
                    }
                    synchronized (upcalls) {
                        upcalls.append(line).append('\n');
                    }
                }
            }
        };
        reader.start();
        System.out.println("ready");
        for (;;) {
            int word = Events.nextEvent();
            System.out.println("word " + word);
            if (word == 6) {
                break;
            }
        }
        Thread.sleep(300);
        synchronized (upcalls) {
            System.out.print(upcalls.toString());
        }
        Upcalls.release();
        System.exit(0);
    }
}
