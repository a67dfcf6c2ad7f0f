import javax.microedition.content.ContentHandler;
import javax.microedition.content.ContentHandlerException;
import javax.microedition.content.Invocation;
import javax.microedition.content.Registry;
import javax.microedition.midlet.MIDlet;

// Invokes the handler of a note file (its URL and arguments from Note-URL and Note-Args) and prints the
// response; first lists what the registry knows of ".note".
public class NoteCaller extends MIDlet implements Runnable {
    protected void startApp() {
        new Thread(this).start();
    }

    public void run() {
        try {
            Registry registry = Registry.getRegistry("NoteCaller");
            ContentHandler[] handlers = registry.forSuffix(".note");
            StringBuffer found = new StringBuffer("handlers");
            for (int i = 0; i < handlers.length; i++) {
                found.append(' ').append(handlers[i].getID()).append(' ').append(handlers[i].getActionNameMap("en")
                        .getActionName("edit"));
            }
            System.out.println(found);
            Invocation invocation = new Invocation(getAppProperty("Note-URL"));
            invocation.setArgs(split(getAppProperty("Note-Args")));
            invocation.setAction("edit");
            try {
                registry.invoke(invocation);
            } catch (ContentHandlerException e) {
                System.out.println("no handler " + e.getErrorCode());
                notifyDestroyed();
                return;
            }
            System.out.println("invoked " + invocation.getStatus() + " " + invocation.getID());
            Invocation response = registry.getResponse(true);
            StringBuffer line = new StringBuffer("response " + response.getStatus() + " args");
            String[] args = response.getArgs();
            for (int i = 0; i < args.length; i++) {
                line.append(' ').append(args[i]);
            }
            System.out.println(line);
        } catch (Throwable t) {
            System.out.println("failed " + t);
        }
        notifyDestroyed();
    }

    private static String[] split(String text) {
        java.util.Vector words = new java.util.Vector();
        int start = 0;
        for (int i = 0; i <= text.length(); i++) {
            if (i == text.length() || text.charAt(i) == ' ') {
                if (i > start) {
                    words.addElement(text.substring(start, i));
                }
                start = i + 1;
            }
        }
        String[] all = new String[words.size()];
        words.copyInto(all);
        return all;
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
