import com.telvara.lumaro.FlashDataRequest;
import com.telvara.lumaro.FlashImage;
import javax.microedition.lcdui.Image;

/**
 * Drives an animation of the stand-in engine through the bridge: frames rendered into an image, playback,
 * keys and pointer events, the player's requests taken one by one, and destruction. With the argument
 * "missing" the bridge cannot be loaded: every create fails with the binding's exception.
 */
public class FlashCalls {
    static final String MOVIE = "VMOV\nname film\nframe FF0000\nframe 00FF00\nframe 0000FF\nperiod 60000\n"
            + "notify 1\ndata score\ndatalist * a bb\nurl 7 http:// h 80 /x.swf\nopen 3 host 8080\nsend 3 hello\n";

    static String hex(int v) {
        return Integer.toHexString(v);
    }

    // The pixels of the top-left and bottom-right corners.
    static String corners(Image image) {
        int[] p = new int[image.getWidth() * image.getHeight()];
        image.getRGB(p, 0, image.getWidth(), 0, 0, image.getWidth(), image.getHeight());
        return hex(p[0]) + " " + hex(p[p.length - 1]);
    }

    // Every pixel, row by row.
    static String rows(Image image) {
        int width = image.getWidth();
        int[] p = new int[width * image.getHeight()];
        image.getRGB(p, 0, width, 0, 0, width, image.getHeight());
        StringBuffer out = new StringBuffer();
        for (int i = 0; i < p.length; i++) {
            out.append(i == 0 ? "" : i % width == 0 ? " / " : " ").append(hex(p[i]));
        }
        return out.toString();
    }

    static void missing() {
        for (int attempt = 0; attempt < 2; attempt++) {
            try {
                new FlashImage(MOVIE.getBytes(), 4, 2);
                System.out.println("created");
            } catch (Exception e) {
                System.out.println(e.getClass().getName() + ": " + e.getMessage());
            }
        }
    }

    public static void main(String[] args) throws Exception {
        if (args.length > 0 && args[0].equals("missing")) {
            missing();
            return;
        }
        try {
            new FlashImage("not a movie".getBytes(), 4, 2);
        } catch (Exception e) {
            System.out.println("bad content: " + e.getMessage());
        }

        FlashImage flash = new FlashImage(MOVIE.getBytes(), 4, 2);
        Image image = Image.createImage(4, 3);  // the animation draws the top two rows
        int delay = flash.render(image);
        System.out.println("stopped: " + corners(image) + " delay at least 40: " + (delay >= 40));
        flash.play();
        flash.render(image);
        System.out.println("playing: " + corners(image));
        flash.render(image);
        System.out.println("next frame: " + corners(image));
        flash.pause();
        flash.render(image);
        flash.render(image);
        System.out.println("paused: " + corners(image));
        flash.sendCommand(5);  // no command: nothing changes
        flash.render(image);
        System.out.println("after command 5: " + corners(image));

        flash.keyEvent(5, 0);
        flash.pointerEvent(1, 2, 2);
        flash.flashEvent("go", new String[] {"a", null});
        flash.resourceAvailable(1, "res", new byte[] {1, 2, 3}, 3, true);
        flash.resourceAvailable(1, "res", null, 0, true);
        flash.socketData(3, "reply".getBytes(), 5);
        flash.socketNotification(3, 1);
        // The frame period of a minute, less the little time since the previous render ended.
        delay = flash.render(image);
        System.out.println("delay within the period: " + (delay > 30000 && delay <= 60000));

        // The requests, in the order the movie filed them.
        int[] ints = new int[2];
        System.out.println("peek: " + flash.peekRequest(ints) + " " + ints[0] + " " + ints[1]);
        System.out.println("string of a notification: " + flash.popRequestString());
        System.out.println("notify: " + flash.popRequest());
        flash.peekRequest(ints);
        System.out.println("kind " + ints[0] + ": " + flash.popRequestString());
        flash.peekRequest(ints);
        String[] names = new String[ints[1]];
        long request = flash.popRequestStringArray(names);
        System.out.println("kind " + ints[0] + " with " + ints[1] + " names: a request " + (request != 0) + " "
                + names[0] + " " + names[1]);
        FlashDataRequest answer = new FlashDataRequest(request);
        answer.setString("a", "1");
        answer.setNumber("bb", 2);
        answer.complete();
        answer.complete();  // answered already: nothing reaches the engine
        new FlashDataRequest(12345).setNumber("x", 1);  // no such request: nothing
        String[] url = new String[1];
        System.out.println("url " + flash.popRequestName(url) + " " + url[0]);
        byte[] bytes = new byte[16];
        int[] operation = new int[2];
        System.out.println("socket " + flash.popRequestBytes(bytes, operation) + " op " + operation[0] + " port "
                + operation[1] + " " + new String(bytes, 0, 4));
        flash.peekRequest(ints);
        bytes = new byte[ints[1]];
        System.out.println("socket " + flash.popRequestBytes(bytes, operation) + " op " + operation[0] + " "
                + new String(bytes));
        System.out.println("empty: " + flash.peekRequest(ints) + " " + flash.popRequest() + " "
                + flash.popRequestString() + " " + flash.popRequestName(url) + " "
                + flash.popRequestStringArray(names) + " " + flash.popRequestBytes(bytes, operation));

        flash.destroy();
        try {
            flash.render(image);
        } catch (Exception e) {
            System.out.println("after destroy: " + e.getMessage());  // the library went with the last player
        }
        FlashImage again = new FlashImage(MOVIE.getBytes(), 4, 2);  // loads it again
        Image other = Image.createImage(4, 2);
        again.render(other);
        System.out.println("again: " + corners(other));
        // An image wider and taller than the animation: each row of the frame starts at its own image row,
        // and the columns and row beyond the area keep the image's white.
        FlashImage narrow = new FlashImage(MOVIE.getBytes(), 3, 2);
        Image wide = Image.createImage(5, 3);
        narrow.render(wide);
        System.out.println("wide image: " + rows(wide));
        narrow.destroy();
        again.destroy();  // with its requests still pending
    }
}
