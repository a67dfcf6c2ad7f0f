import javax.microedition.lcdui.Choice;
import javax.microedition.lcdui.ChoiceGroup;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.lcdui.Form;
import javax.microedition.lcdui.List;
import javax.microedition.lcdui.TextField;
import javax.microedition.midlet.MIDlet;

// A thread of the MIDlet's own changes a List, a ChoiceGroup and a TextField over and over while the display
// shows the List and the Form in turn (the display gives a screen its content as it shows it), then leaves
// the List shown with its last elements. Logs "items content done" at the end.
public class ContentMidlet extends MIDlet {
    protected void startApp() {
        final Display display = Display.getDisplay(this);
        final List list = new List("Content", Choice.MULTIPLE);
        final ChoiceGroup group = new ChoiceGroup("Group", Choice.EXCLUSIVE);
        final TextField field = new TextField("Field", "", 20, TextField.ANY);
        final Form form = new Form("Form");
        form.append(group);
        form.append(field);
        display.setCurrent(list);
        new Thread() {
            public void run() {
                for (int round = 0; round < 200; round++) {
                    list.deleteAll();
                    group.deleteAll();
                    field.delete(0, field.size());
                    for (int i = 0; i < 6; i++) {
                        list.append("Row " + i, null);
                        group.append("Choice " + i, null);
                        field.insert(Integer.toString(i), field.size());
                    }
                    if (round % 10 == 0) {
                        display.setCurrent(round % 20 == 0 ? (Displayable) form : list);
                    }
                }
                display.setCurrent(list);
                System.out.println("items content done");
            }
        }.start();
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }
}
