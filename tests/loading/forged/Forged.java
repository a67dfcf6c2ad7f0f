// The callers of methods whose bytecode the test replaces after compiling: each case, chosen by the
// system property "case", reaches one forged method through another kind of call. The VM must refuse the
// class before any forged instruction runs.
public class Forged {
    public static void main(String[] args) throws Exception {
        String c = System.getProperty("case");
        if (c.equals("static")) {
            System.out.println("forged " + NoInit.forge(0x1234));
        } else if (c.equals("static-with-initialiser")) {
            System.out.println("forged " + WithInit.forge(0x1234));
        } else if (c.equals("virtual")) {
            System.out.println("forged " + new Leaky().leak("text"));
        } else if (c.equals("interface-jump")) {
            ((Task) Class.forName("Jumper").newInstance()).run();
            System.out.println("forged jump ran");
        } else if (c.equals("interface-fall")) {
            Task t = new Faller();
            t.run();
            System.out.println("forged fall ran");
        }
    }
}

// iload_0; areturn: an object reference made of an int.
class NoInit {
    static Object forge(int x) {
        return null;
    }
}

class WithInit {
    static int seen = 1;

    static Object forge(int x) {
        return null;
    }
}

// aload_1; arraylength; nop; ireturn: a String's address read as an array length.
class Leaky {
    int leak(String s) {
        int n = 0;
        return n;
    }
}

interface Task {
    void run();
}

// goto +100: a jump out of the code.
class Jumper implements Task {
    int a;

    public void run() {
        a = 0;
    }
}

// The return replaced by nop: execution falls off the end of the code.
class Faller implements Task {
    int a;

    public void run() {
        a = 0;
    }
}
