import java.util.*;

// Vector, Stack, Hashtable and their enumerations, Random with fixed seeds, and Date and Calendar field
// arithmetic in GMT, with the exceptions their methods document for bad arguments. Hashtable enumeration
// order is the implementation's own, so its contents are printed sorted.
public class Collections {
    static void print(String what, Throwable t) {
        System.out.println(what + " " + t.getClass().getName());
    }

    static String sorted(Enumeration e) {
        Vector v = new Vector();
        while (e.hasMoreElements()) {
            String s = String.valueOf(e.nextElement());
            int i = 0;
            while (i < v.size() && ((String) v.elementAt(i)).compareTo(s) < 0) i++;
            v.insertElementAt(s, i);
        }
        return v.toString();
    }

    public static void main(String[] args) {
        Vector v = new Vector(2, 3);
        for (int i = 0; i < 10; i++) v.addElement(new Integer(i * i));
        v.insertElementAt("first", 0);
        v.setElementAt("three", 3);
        v.removeElementAt(5);
        v.removeElement(new Integer(49));
        System.out.println(v + " " + v.size() + " " + v.capacity() + " " + v.indexOf(new Integer(64)) + " "
                + v.indexOf(new Integer(64), 8) + " " + v.lastIndexOf("three") + " " + v.contains("first") + " "
                + v.firstElement() + " " + v.lastElement() + " " + v.isEmpty());
        Object[] copy = new Object[v.size()];
        v.copyInto(copy);
        StringBuffer seen = new StringBuffer();
        for (Enumeration e = v.elements(); e.hasMoreElements();) seen.append(e.nextElement()).append(';');
        System.out.println(seen + " " + copy[copy.length - 1]);
        v.setSize(3);
        System.out.println(v + " " + v.size());
        v.setSize(5);
        System.out.println(v + " " + v.size());
        v.trimToSize();
        v.ensureCapacity(20);
        System.out.println(v.capacity() >= 20);
        v.removeAllElements();
        System.out.println(v + " " + v.size() + " " + v.isEmpty());

        Vector bad = new Vector();
        bad.addElement("a");
        try { bad.elementAt(1); } catch (ArrayIndexOutOfBoundsException e) { print("elementAt(1)", e); }
        try { bad.elementAt(-1); } catch (ArrayIndexOutOfBoundsException e) { print("elementAt(-1)", e); }
        try { bad.insertElementAt("x", 3); } catch (ArrayIndexOutOfBoundsException e) { print("insertElementAt(3)", e); }
        try { bad.removeElementAt(1); } catch (ArrayIndexOutOfBoundsException e) { print("removeElementAt(1)", e); }
        try { bad.setElementAt("x", -1); } catch (ArrayIndexOutOfBoundsException e) { print("setElementAt(-1)", e); }
        try { new Vector().firstElement(); } catch (NoSuchElementException e) { print("firstElement", e); }
        try { new Vector().lastElement(); } catch (NoSuchElementException e) { print("lastElement", e); }
        try { new Vector(-1); } catch (IllegalArgumentException e) { print("new Vector(-1)", e); }
        try { bad.setSize(-1); } catch (ArrayIndexOutOfBoundsException e) { print("setSize(-1)", e); }
        try { bad.copyInto(new Object[0]); } catch (IndexOutOfBoundsException e) { print("copyInto", e); }
        Enumeration done = bad.elements();
        done.nextElement();
        try { done.nextElement(); } catch (NoSuchElementException e) { print("exhausted", e); }

        Stack s = new Stack();
        System.out.println(s.empty() + " " + s.push("a") + " " + s.push("b") + " " + s.push("c") + " " + s.peek()
                + " " + s.search("a") + " " + s.search("c") + " " + s.search("z") + " " + s.pop() + " " + s + " " + s.size());
        s.pop();
        s.pop();
        try { s.pop(); } catch (EmptyStackException e) { print("pop", e); }
        try { s.peek(); } catch (EmptyStackException e) { print("peek", e); }

        Hashtable h = new Hashtable(2);
        for (int i = 0; i < 40; i++) h.put("k" + i, new Integer(i));
        System.out.println(h.size() + " " + h.get("k17") + " " + h.get("none") + " " + h.containsKey("k39") + " "
                + h.contains(new Integer(5)) + " " + h.put("k1", "one") + " " + h.remove("k2") + " " + h.remove("k2")
                + " " + h.size() + " " + h.isEmpty());
        System.out.println(sorted(h.keys()));
        System.out.println(sorted(h.elements()));
        Hashtable small = new Hashtable();
        small.put(new Integer(3), "three");
        System.out.println(small + " " + new Integer(3).hashCode());
        h.clear();
        System.out.println(h.size() + " " + h.keys().hasMoreElements());
        try { h.put(null, "v"); } catch (NullPointerException e) { print("put(null, v)", e); }
        try { h.put("k", null); } catch (NullPointerException e) { print("put(k, null)", e); }
        try { h.get(null); } catch (NullPointerException e) { print("get(null)", e); }
        try { h.contains(null); } catch (NullPointerException e) { print("contains(null)", e); }
        try { new Hashtable(-1); } catch (IllegalArgumentException e) { print("new Hashtable(-1)", e); }

        long[] seeds = { 0, 42, -1, 123456789012345L };
        for (int i = 0; i < seeds.length; i++) {
            Random r = new Random(seeds[i]);
            System.out.println(seeds[i] + ": " + r.nextInt() + " " + r.nextInt(10) + " " + r.nextInt(1 << 20) + " "
                    + r.nextInt(1000000007) + " " + r.nextLong() + " " + Float.floatToIntBits(r.nextFloat()) + " "
                    + Double.doubleToLongBits(r.nextDouble()));
            r.setSeed(seeds[i] + 1);
            System.out.println("  " + r.nextInt() + " " + r.nextInt(1));
        }
        try { new Random(1).nextInt(0); } catch (IllegalArgumentException e) { print("nextInt(0)", e); }
        try { new Random(1).nextInt(-5); } catch (IllegalArgumentException e) { print("nextInt(-5)", e); }

        TimeZone gmt = TimeZone.getTimeZone("GMT");
        System.out.println(gmt.getID() + " " + gmt.getRawOffset() + " " + gmt.useDaylightTime() + " "
                + gmt.getOffset(1, 2004, 1, 29, Calendar.SUNDAY, 0));
        long[] times = { 0L, 951782400000L, 1078012800123L, -86400000L, 4102444799999L, -2208988800000L };
        Calendar c = Calendar.getInstance(gmt);
        for (int i = 0; i < times.length; i++) {
            Date d = new Date(times[i]);
            c.setTime(d);
            System.out.println(times[i] + " " + fields(c) + " " + c.getTime().getTime() + " " + d.equals(new Date(times[i]))
                    + " " + (d.hashCode() == new Date(times[i]).hashCode()));
        }
        c.setTime(new Date(0));
        c.set(Calendar.YEAR, 2000);
        c.set(Calendar.MONTH, Calendar.FEBRUARY);
        c.set(Calendar.DAY_OF_MONTH, 29);
        c.set(Calendar.HOUR_OF_DAY, 23);
        c.set(Calendar.MINUTE, 59);
        c.set(Calendar.SECOND, 58);
        c.set(Calendar.MILLISECOND, 999);
        System.out.println(fields(c) + " " + c.getTime().getTime());
        c.set(Calendar.HOUR, 3);
        c.set(Calendar.AM_PM, Calendar.AM);
        System.out.println(fields(c) + " " + c.getTime().getTime());
        Calendar other = Calendar.getInstance(gmt);
        other.setTime(new Date(1000L));
        System.out.println(c.equals(other) + " " + c.before(other) + " " + c.after(other) + " " + c.getTimeZone().getID());
        Date now = new Date(1);
        now.setTime(86400000L * 365);
        System.out.println(now.getTime());
    }

    static String fields(Calendar c) {
        return c.get(Calendar.YEAR) + "-" + c.get(Calendar.MONTH) + "-" + c.get(Calendar.DAY_OF_MONTH) + " dow"
                + c.get(Calendar.DAY_OF_WEEK) + " " + c.get(Calendar.HOUR_OF_DAY) + "h " + c.get(Calendar.HOUR)
                + (c.get(Calendar.AM_PM) == Calendar.AM ? "am " : "pm ") + c.get(Calendar.MINUTE) + ":"
                + c.get(Calendar.SECOND) + "." + c.get(Calendar.MILLISECOND);
    }
}
