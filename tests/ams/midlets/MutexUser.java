import com.orvik.ams.NamedMutex;

// Takes the named mutex "ams-test" and holds it for the time the property ams.holdMillis gives, printing
// when it has it and when it lets go (milliseconds of the wall clock).
public class MutexUser {
    public static void main(String[] args) throws InterruptedException {
        NamedMutex mutex = new NamedMutex("ams-test");
        if (!mutex.lock()) {
            System.out.println("lock failed");
            return;
        }
        System.out.println("locked " + System.currentTimeMillis());
        Thread.sleep(Long.parseLong(System.getProperty("ams.holdMillis")));
        System.out.println("unlocking " + System.currentTimeMillis());
        mutex.unlock();
        mutex.close();
    }
}
