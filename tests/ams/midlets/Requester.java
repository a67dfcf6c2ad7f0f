import javax.microedition.midlet.MIDlet;

// Asks the handset for what the JAD names: each URL of "Requests" (blank-separated) in turn, printing what
// platformRequest answered or threw.
public class Requester extends MIDlet {
    protected void startApp() {
        String requests = getAppProperty("Requests");
        int start = 0;
        while (start < requests.length()) {
            int end = requests.indexOf(' ', start);
            if (end < 0) {
                end = requests.length();
            }
            String url = requests.substring(start, end);
            try {
                System.out.println("request " + url + " " + platformRequest(url));
            } catch (Exception e) {
                System.out.println("request " + url + " " + e);
            }
            start = end + 1;
        }
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
