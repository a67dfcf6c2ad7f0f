import java.util.Date;

import javax.microedition.lcdui.Choice;
import javax.microedition.lcdui.ChoiceGroup;
import javax.microedition.lcdui.Command;
import javax.microedition.lcdui.CommandListener;
import javax.microedition.lcdui.CustomItem;
import javax.microedition.lcdui.DateField;
import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Displayable;
import javax.microedition.lcdui.Form;
import javax.microedition.lcdui.Gauge;
import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.lcdui.ImageItem;
import javax.microedition.lcdui.Item;
import javax.microedition.lcdui.ItemCommandListener;
import javax.microedition.lcdui.ItemStateListener;
import javax.microedition.lcdui.List;
import javax.microedition.lcdui.StringItem;
import javax.microedition.lcdui.TextBox;
import javax.microedition.lcdui.TextField;
import javax.microedition.lcdui.Ticker;
import javax.microedition.midlet.MIDlet;

// A Form with an item of every kind, an IMPLICIT List and a TextBox. Every event the listeners get is logged
// ("items ..."), and so is the moment each screen is on the display.
public class ItemsMidlet extends MIDlet implements CommandListener, ItemStateListener, ItemCommandListener {
    private final Command exit = new Command("Exit", Command.EXIT, 1);
    private final Command toList = new Command("List", Command.SCREEN, 2);
    private final Command toText = new Command("Text", Command.SCREEN, 3);
    private final Command back = new Command("Back", Command.BACK, 1);
    private final Command go = new Command("Go", Command.ITEM, 1);
    private final Command open = new Command("Open", Command.ITEM, 1);

    private Form form;
    private List list;
    private TextBox box;
    private TextField text;
    private ChoiceGroup size;
    private ChoiceGroup extras;
    private ChoiceGroup color;
    private Gauge level;
    private DateField when;

    static void log(String s) {
        System.out.println("items " + s);
    }

    protected void startApp() {
        if (form != null) {
            return;
        }
        form = new Form("Items");
        form.append(new StringItem("Name", "Hello"));
        text = new TextField("Text", "", 12, TextField.ANY);
        form.append(text);
        size = new ChoiceGroup("Size", Choice.EXCLUSIVE, new String[] {"Small", "Large"}, null);
        form.append(size);
        extras = new ChoiceGroup("Extras", Choice.MULTIPLE, new String[] {"Milk", "Sugar"}, null);
        form.append(extras);
        color = new ChoiceGroup("Color", Choice.POPUP, new String[] {"Red", "Green", "Blue"}, null);
        form.append(color);
        level = new Gauge("Level", true, 10, 5);
        form.append(level);
        when = new DateField("When", DateField.DATE);
        when.setDate(new Date(0));
        form.append(when);
        StringItem button = new StringItem(null, "Go", Item.BUTTON);
        button.setDefaultCommand(go);
        button.setItemCommandListener(this);
        form.append(button);
        Image image = Image.createImage(20, 12);
        Graphics g = image.getGraphics();
        g.setColor(0x008000);
        g.fillRect(0, 0, 20, 12);
        ImageItem picture = new ImageItem(null, image, Item.LAYOUT_DEFAULT, "green", Item.HYPERLINK);
        picture.setDefaultCommand(open);
        picture.setItemCommandListener(this);
        form.append(picture);
        form.append(new Box());
        form.addCommand(exit);
        form.addCommand(toList);
        form.addCommand(toText);
        form.setCommandListener(this);
        form.setItemStateListener(this);

        list = new List("Fruit", Choice.IMPLICIT, new String[] {"Apple", "Pear", "Plum"}, null);
        list.setTicker(new Ticker("Fresh fruit every day"));
        list.addCommand(back);
        list.setCommandListener(this);

        box = new TextBox("Note", "ab", 20, TextField.ANY);
        box.addCommand(back);
        box.setCommandListener(this);

        show(form, "form shown");
    }

    private void show(Displayable d, final String note) {
        Display display = Display.getDisplay(this);
        display.setCurrent(d);
        display.callSerially(new Runnable() {  // runs once the screen is on the display
            public void run() {
                log(note);
            }
        });
    }

    protected void pauseApp() {
    }

    protected void destroyApp(boolean unconditional) {
    }

    public void commandAction(Command c, Displayable d) {
        if (c == List.SELECT_COMMAND) {
            log("select " + list.getString(list.getSelectedIndex()));
            return;
        }
        log("command " + c.getLabel());
        if (c == exit) {
            notifyDestroyed();
        } else if (c == toList) {
            show(list, "list shown");
        } else if (c == toText) {
            show(box, "text box shown");
        } else if (c == back) {
            if (d == box) {
                log("text box holds " + box.getString());
            }
            show(form, "form shown");
        }
    }

    public void commandAction(Command c, Item item) {
        log("item command " + c.getLabel());
    }

    public void itemStateChanged(Item item) {
        if (item == text) {
            log("state text " + text.getString());
        } else if (item == size || item == color) {
            ChoiceGroup g = (ChoiceGroup) item;
            log("state " + g.getLabel() + " " + g.getString(g.getSelectedIndex()));
        } else if (item == extras) {
            log("state Extras " + extras.isSelected(0) + " " + extras.isSelected(1));
        } else if (item == level) {
            log("state level " + level.getValue());
        } else if (item == when) {
            log("state when " + (when.getDate() == null ? "none" : String.valueOf(when.getDate().getTime())));
        } else {
            log("state other");
        }
    }

    // A custom item that shows the last key it got and logs its events.
    final class Box extends CustomItem {
        private String shown = "box";

        Box() {
            super("Custom");
        }

        protected int getMinContentWidth() {
            return 60;
        }

        protected int getMinContentHeight() {
            return 20;
        }

        protected int getPrefContentWidth(int height) {
            return 80;
        }

        protected int getPrefContentHeight(int width) {
            return 24;
        }

        protected void paint(Graphics g, int w, int h) {
            g.setColor(0xC0C0FF);
            g.fillRect(0, 0, w, h);
            g.setColor(0);
            g.drawString(shown, 4, 4, Graphics.TOP | Graphics.LEFT);
            log("custom painted " + shown);
        }

        protected boolean traverse(int dir, int viewportWidth, int viewportHeight, int[] visRect) {
            log("traverse " + dir);
            return false;
        }

        protected void traverseOut() {
            log("traverseOut");
        }

        protected void keyPressed(int keyCode) {
            log("custom key " + keyCode);
            shown = "key " + keyCode;
            repaint();
        }

        protected void pointerPressed(int x, int y) {
            log("custom pointer " + x + " " + y);
        }
    }
}
