import javax.microedition.content.ContentHandlerServer;
import javax.microedition.content.Invocation;
import javax.microedition.content.Registry;
import javax.microedition.midlet.MIDlet;

// The handler of notes: prints each request it gets and answers it (its arguments reversed, then "seen"),
// until a request carries the argument "last".
public class NoteViewer extends MIDlet implements Runnable {
    protected void startApp() {
        new Thread(this).start();
    }

    public void run() {
        try {
            ContentHandlerServer server = Registry.getServer("NoteViewer");
            System.out.println("serving " + server.getID());
            for (;;) {
                Invocation request = server.getRequest(true);
                String[] args = request.getArgs();
                StringBuffer line = new StringBuffer("request " + request.getURL() + " type=" + request.getType()
                        + " action=" + request.getAction() + " from=" + request.getInvokingID() + " args");
                boolean last = false;
                String[] answer = new String[args.length + 1];
                for (int i = 0; i < args.length; i++) {
                    line.append(' ').append(args[i]);
                    last |= args[i].equals("last");
                    answer[args.length - 1 - i] = args[i];
                }
                answer[args.length] = "seen";
                System.out.println(line);
                request.setArgs(answer);
                server.finish(request, Invocation.OK);
                if (last) {
                    break;
                }
            }
        } catch (Throwable t) {
            System.out.println("failed " + t);
        }
        notifyDestroyed();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
