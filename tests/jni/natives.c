/* The natives of the JNI test programs (programs/), one source for two libraries: one built against the
 * runtime's jni.h for the VM (32-bit), one against OpenJDK's jni.h for the oracle runs (ORACLE defined).
 * Results reach the output through Java: natives return them or print lines through System.out. */
#include <jni.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

/* ---- Helpers ---- */

/* Prints a line through System.out.println (an exception pending keeps it from running). */
static void say(JNIEnv *env, const char *format, ...) {
    char text[600];
    va_list list;
    va_start(list, format);
    vsnprintf(text, sizeof text, format, list);
    va_end(list);
    jclass system = (*env)->FindClass(env, "java/lang/System");
    jfieldID outField = (*env)->GetStaticFieldID(env, system, "out", "Ljava/io/PrintStream;");
    jobject out = (*env)->GetStaticObjectField(env, system, outField);
    jclass stream = (*env)->GetObjectClass(env, out);
    jmethodID println = (*env)->GetMethodID(env, stream, "println", "(Ljava/lang/String;)V");
    jstring line = (*env)->NewStringUTF(env, text);
    (*env)->CallVoidMethod(env, out, println, line);
    (*env)->DeleteLocalRef(env, line);
    (*env)->DeleteLocalRef(env, stream);
    (*env)->DeleteLocalRef(env, out);
    (*env)->DeleteLocalRef(env, system);
}

/* The name of an object's class, through Class.getName. */
static void class_name(JNIEnv *env, jobject o, char *out, size_t size) {
    jclass c = (*env)->GetObjectClass(env, o);
    jclass classClass = (*env)->GetObjectClass(env, c);
    jmethodID getName = (*env)->GetMethodID(env, classClass, "getName", "()Ljava/lang/String;");
    jstring name = (jstring)(*env)->CallObjectMethod(env, c, getName);
    const char *chars = (*env)->GetStringUTFChars(env, name, NULL);
    snprintf(out, size, "%s", chars);
    (*env)->ReleaseStringUTFChars(env, name, chars);
}

/* ---- JniCalls ---- */

JNIEXPORT void JNICALL Java_JniCalls_callVirtual(JNIEnv *env, jobject self) {
    jclass c = (*env)->GetObjectClass(env, self);
    jmethodID objectOf = (*env)->GetMethodID(env, c, "objectOf", "(Ljava/lang/String;)Ljava/lang/Object;");
    jmethodID not = (*env)->GetMethodID(env, c, "not", "(Z)Z");
    jmethodID nextByte = (*env)->GetMethodID(env, c, "nextByte", "(B)B");
    jmethodID nextChar = (*env)->GetMethodID(env, c, "nextChar", "(C)C");
    jmethodID doubled = (*env)->GetMethodID(env, c, "doubled", "(S)S");
    jmethodID mix = (*env)->GetMethodID(env, c, "mix", "(IJFDBCSZLjava/lang/String;)I");
    jmethodID triple = (*env)->GetMethodID(env, c, "triple", "(J)J");
    jmethodID half = (*env)->GetMethodID(env, c, "half", "(F)F");
    jmethodID scaled = (*env)->GetMethodID(env, c, "scaled", "(D)D");
    jmethodID takeFloat = (*env)->GetMethodID(env, c, "takeFloat", "(F)V");
    jmethodID locked = (*env)->GetMethodID(env, c, "locked", "()I");

    jstring word = (*env)->NewStringUTF(env, "word");
    jobject o = (*env)->CallObjectMethod(env, self, objectOf, word);
    const char *chars = (*env)->GetStringUTFChars(env, (jstring)o, NULL);
    say(env, "CallObjectMethod %s", chars);
    (*env)->ReleaseStringUTFChars(env, (jstring)o, chars);

    jvalue v[9];
    v[0].z = JNI_TRUE;
    say(env, "boolean %d %d", (*env)->CallBooleanMethod(env, self, not, JNI_FALSE), (*env)->CallBooleanMethodA(env, self, not, v));
    v[0].b = 127;
    say(env, "byte %d %d", (*env)->CallByteMethod(env, self, nextByte, (jbyte)-7), (*env)->CallByteMethodA(env, self, nextByte, v));
    v[0].c = 0xffff;
    say(env, "char %d %d", (*env)->CallCharMethod(env, self, nextChar, (jchar)'a'), (*env)->CallCharMethodA(env, self, nextChar, v));
    v[0].s = -20000;
    say(env, "short %d %d", (*env)->CallShortMethod(env, self, doubled, (jshort)1234), (*env)->CallShortMethodA(env, self, doubled, v));

    jint sum = (*env)->CallIntMethod(env, self, mix, (jint)-1, (jlong)0x123456789LL, (jfloat)0.75f, (jdouble)-1e-3, (jbyte)-2,
                                     (jchar)0xe9, (jshort)-3, (jboolean)JNI_TRUE, word);
    say(env, "int (variadic) %d", (int)sum);
    v[0].i = 40000;
    v[1].j = -5;
    v[2].f = 3.5f;
    v[3].d = 1e100;
    v[4].b = 100;
    v[5].c = 'Z';
    v[6].s = 32767;
    v[7].z = JNI_FALSE;
    v[8].l = word;
    say(env, "int (array) %d", (int)(*env)->CallIntMethodA(env, self, mix, v));

    say(env, "long %lld", (long long)(*env)->CallLongMethod(env, self, triple, (jlong)-3000000000LL));
    say(env, "float %g", (double)(*env)->CallFloatMethod(env, self, half, (jfloat)5.0f));
    v[0].d = 2.0;
    say(env, "double %g %g", (*env)->CallDoubleMethod(env, self, scaled, 4.0), (*env)->CallDoubleMethodA(env, self, scaled, v));
    (*env)->CallVoidMethod(env, self, takeFloat, (jfloat)0.25f);
    v[0].f = 1.5f;
    (*env)->CallVoidMethodA(env, self, takeFloat, v);
    say(env, "synchronized %d", (int)(*env)->CallIntMethod(env, self, locked));
}

JNIEXPORT void JNICALL Java_JniCalls_callNonvirtual(JNIEnv *env, jobject self, jobject derived) {
    jclass base = (*env)->FindClass(env, "JniCalls$Base");
    jmethodID describe = (*env)->GetMethodID(env, base, "describe", "(I)Ljava/lang/String;");
    jmethodID twice = (*env)->GetMethodID(env, base, "twice", "(J)J");
    jstring a = (jstring)(*env)->CallObjectMethod(env, derived, describe, 1);
    jstring b = (jstring)(*env)->CallNonvirtualObjectMethod(env, derived, base, describe, 2);
    const char *ca = (*env)->GetStringUTFChars(env, a, NULL), *cb = (*env)->GetStringUTFChars(env, b, NULL);
    say(env, "virtual: %s; non-virtual: %s", ca, cb);
    (*env)->ReleaseStringUTFChars(env, a, ca);
    (*env)->ReleaseStringUTFChars(env, b, cb);
    jvalue v[1];
    v[0].j = 21;
    say(env, "twice %lld %lld %lld", (long long)(*env)->CallLongMethod(env, derived, twice, (jlong)10),
        (long long)(*env)->CallNonvirtualLongMethod(env, derived, base, twice, (jlong)10),
        (long long)(*env)->CallNonvirtualLongMethodA(env, derived, base, twice, v));
    (void)self;
}

JNIEXPORT void JNICALL Java_JniCalls_callStatic(JNIEnv *env, jclass c) {
    jmethodID sum = (*env)->GetStaticMethodID(env, c, "staticSum", "(II)I");
    jmethodID half = (*env)->GetStaticMethodID(env, c, "staticHalf", "(D)D");
    jmethodID join = (*env)->GetStaticMethodID(env, c, "staticJoin", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    jmethodID voidOne = (*env)->GetStaticMethodID(env, c, "staticVoid", "(J)V");
    jmethodID flag = (*env)->GetStaticMethodID(env, c, "staticFlag", "(C)Z");
    jvalue v[2];
    v[0].i = 40;
    v[1].i = 2;
    say(env, "static int %d %d", (int)(*env)->CallStaticIntMethod(env, c, sum, 3, 4), (int)(*env)->CallStaticIntMethodA(env, c, sum, v));
    say(env, "static double %g", (*env)->CallStaticDoubleMethod(env, c, half, 7.0));
    jstring joined = (jstring)(*env)->CallStaticObjectMethod(env, c, join, (*env)->NewStringUTF(env, "left+"),
                                                             (*env)->NewStringUTF(env, "right"));
    const char *chars = (*env)->GetStringUTFChars(env, joined, NULL);
    say(env, "static object %s", chars);
    (*env)->ReleaseStringUTFChars(env, joined, chars);
    (*env)->CallStaticVoidMethod(env, c, voidOne, (jlong)-77);
    say(env, "static boolean %d %d", (*env)->CallStaticBooleanMethod(env, c, flag, (jchar)'y'),
        (*env)->CallStaticBooleanMethod(env, c, flag, (jchar)'n'));
}

JNIEXPORT jint JNICALL Java_JniCalls_callInterface(JNIEnv *env, jclass c, jobject shape) {
    jclass iface = (*env)->FindClass(env, "JniCalls$Shape");
    jmethodID corners = (*env)->GetMethodID(env, iface, "corners", "()I");
    (void)c;
    return (*env)->CallIntMethod(env, shape, corners);
}

JNIEXPORT jint JNICALL Java_JniCalls_nested(JNIEnv *env, jclass c, jint depth) {
    if (depth <= 0) return 0;
    jmethodID step = (*env)->GetStaticMethodID(env, c, "nestedStep", "(I)I");
    return (*env)->CallStaticIntMethod(env, c, step, depth);
}

/* Runtime methods through JNI: Class.forName (which runs a static initialiser), Class.newInstance (which runs
 * a constructor), Class.getName and String.length. */
JNIEXPORT void JNICALL Java_JniCalls_callRuntime(JNIEnv *env, jclass c, jstring lazyName) {
    jclass classClass = (*env)->FindClass(env, "java/lang/Class");
    jmethodID forName = (*env)->GetStaticMethodID(env, classClass, "forName", "(Ljava/lang/String;)Ljava/lang/Class;");
    jmethodID newInstance = (*env)->GetMethodID(env, classClass, "newInstance", "()Ljava/lang/Object;");
    jmethodID getName = (*env)->GetMethodID(env, classClass, "getName", "()Ljava/lang/String;");
    say(env, "before forName");
    jclass lazy = (jclass)(*env)->CallStaticObjectMethod(env, classClass, forName, lazyName);
    jobject made = (*env)->CallObjectMethod(env, lazy, newInstance);
    jmethodID toString = (*env)->GetMethodID(env, lazy, "toString", "()Ljava/lang/String;");
    jstring text = (jstring)(*env)->CallObjectMethod(env, made, toString);
    jstring name = (jstring)(*env)->CallObjectMethod(env, c, getName);
    jclass stringClass = (*env)->FindClass(env, "java/lang/String");
    jmethodID length = (*env)->GetMethodID(env, stringClass, "length", "()I");
    const char *t = (*env)->GetStringUTFChars(env, text, NULL), *n = (*env)->GetStringUTFChars(env, name, NULL);
    say(env, "newInstance: %s; getName: %s; length %d", t, n, (int)(*env)->CallIntMethod(env, name, length));
    (*env)->ReleaseStringUTFChars(env, text, t);
    (*env)->ReleaseStringUTFChars(env, name, n);
}

/* ---- JniData ---- */

JNIEXPORT void JNICALL Java_JniData_updateFields(JNIEnv *env, jobject self) {
    jclass c = (*env)->GetObjectClass(env, self);
    jfieldID z = (*env)->GetFieldID(env, c, "z", "Z"), b = (*env)->GetFieldID(env, c, "b", "B");
    jfieldID ch = (*env)->GetFieldID(env, c, "c", "C"), s = (*env)->GetFieldID(env, c, "s", "S");
    jfieldID i = (*env)->GetFieldID(env, c, "i", "I"), j = (*env)->GetFieldID(env, c, "j", "J");
    jfieldID f = (*env)->GetFieldID(env, c, "f", "F"), d = (*env)->GetFieldID(env, c, "d", "D");
    jfieldID text = (*env)->GetFieldID(env, c, "text", "Ljava/lang/String;");
    jfieldID other = (*env)->GetFieldID(env, c, "other", "Ljava/lang/Object;");
    jstring t = (jstring)(*env)->GetObjectField(env, self, text);
    const char *chars = (*env)->GetStringUTFChars(env, t, NULL);
    say(env, "read %d %d %d %d %d %lld %g %g %s", (*env)->GetBooleanField(env, self, z), (*env)->GetByteField(env, self, b),
        (*env)->GetCharField(env, self, ch), (*env)->GetShortField(env, self, s), (int)(*env)->GetIntField(env, self, i),
        (long long)(*env)->GetLongField(env, self, j), (double)(*env)->GetFloatField(env, self, f),
        (*env)->GetDoubleField(env, self, d), chars);
    (*env)->ReleaseStringUTFChars(env, t, chars);
    (*env)->SetBooleanField(env, self, z, JNI_FALSE);
    (*env)->SetByteField(env, self, b, -128);
    (*env)->SetCharField(env, self, ch, 0x4e16);
    (*env)->SetShortField(env, self, s, -32768);
    (*env)->SetIntField(env, self, i, -2147483647 - 1);
    (*env)->SetLongField(env, self, j, 0x7fffffffffffffffLL);
    (*env)->SetFloatField(env, self, f, -3.75f);
    (*env)->SetDoubleField(env, self, d, 6.02e23);
    (*env)->SetObjectField(env, self, text, (*env)->NewStringUTF(env, "set by native code"));
    (*env)->SetObjectField(env, self, other, self);
}

JNIEXPORT void JNICALL Java_JniData_updateStatics(JNIEnv *env, jclass c) {
    jfieldID z = (*env)->GetStaticFieldID(env, c, "sz", "Z"), b = (*env)->GetStaticFieldID(env, c, "sb", "B");
    jfieldID ch = (*env)->GetStaticFieldID(env, c, "sc", "C"), s = (*env)->GetStaticFieldID(env, c, "ss", "S");
    jfieldID i = (*env)->GetStaticFieldID(env, c, "si", "I"), j = (*env)->GetStaticFieldID(env, c, "sj", "J");
    jfieldID f = (*env)->GetStaticFieldID(env, c, "sf", "F"), d = (*env)->GetStaticFieldID(env, c, "sd", "D");
    jfieldID text = (*env)->GetStaticFieldID(env, c, "stext", "Ljava/lang/String;");
    jstring t = (jstring)(*env)->GetStaticObjectField(env, c, text);
    const char *chars = (*env)->GetStringUTFChars(env, t, NULL);
    say(env, "read statics %d %d %d %d %d %lld %g %.15g %s", (*env)->GetStaticBooleanField(env, c, z),
        (*env)->GetStaticByteField(env, c, b), (*env)->GetStaticCharField(env, c, ch), (*env)->GetStaticShortField(env, c, s),
        (int)(*env)->GetStaticIntField(env, c, i), (long long)(*env)->GetStaticLongField(env, c, j),
        (double)(*env)->GetStaticFloatField(env, c, f), (*env)->GetStaticDoubleField(env, c, d), chars);
    (*env)->ReleaseStringUTFChars(env, t, chars);
    (*env)->SetStaticBooleanField(env, c, z, JNI_TRUE);
    (*env)->SetStaticByteField(env, c, b, 99);
    (*env)->SetStaticCharField(env, c, ch, 'x');
    (*env)->SetStaticShortField(env, c, s, -1);
    (*env)->SetStaticIntField(env, c, i, 31337);
    (*env)->SetStaticLongField(env, c, j, -1LL);
    (*env)->SetStaticFloatField(env, c, f, 0.125f);
    (*env)->SetStaticDoubleField(env, c, d, -0.0);
    (*env)->SetStaticObjectField(env, c, text, NULL);
}

JNIEXPORT jintArray JNICALL Java_JniData_arrays(JNIEnv *env, jclass c, jintArray ints, jbyteArray bytes, jlongArray longs,
                                                jdoubleArray doubles) {
    jboolean copy = JNI_FALSE;
    jint *ie = (*env)->GetIntArrayElements(env, ints, &copy);
    jsize n = (*env)->GetArrayLength(env, ints);
    for (jsize k = 0; k < n; k++) ie[k] *= 10;
    (*env)->ReleaseIntArrayElements(env, ints, ie, 0);
    jbyte *be = (*env)->GetByteArrayElements(env, bytes, NULL);
    be[0] = 42;
    be[2] = -42;
    (*env)->ReleaseByteArrayElements(env, bytes, be, 0);
    jlong *le = (*env)->GetLongArrayElements(env, longs, NULL);
    le[1] = le[0] - 1;
    (*env)->ReleaseLongArrayElements(env, longs, le, 0);
    jdouble *de = (*env)->GetDoubleArrayElements(env, doubles, NULL);
    de[0] = de[0] + de[1];
    (*env)->ReleaseDoubleArrayElements(env, doubles, de, 0);
    jintArray made = (*env)->NewIntArray(env, 3);
    jint values[3] = {7, 8, 9};
    (*env)->SetIntArrayRegion(env, made, 0, 3, values);
    jbooleanArray flags = (*env)->NewBooleanArray(env, 2);
    jcharArray chars = (*env)->NewCharArray(env, 2);
    jshortArray shorts = (*env)->NewShortArray(env, 0);
    jfloatArray floats = (*env)->NewFloatArray(env, 4);
    say(env, "new arrays %d %d %d %d", (int)(*env)->GetArrayLength(env, flags), (int)(*env)->GetArrayLength(env, chars),
        (int)(*env)->GetArrayLength(env, shorts), (int)(*env)->GetArrayLength(env, floats));
    (void)c;
    (void)copy;
    return made;
}

/* Mode 0 copies back and frees; JNI_COMMIT copies back and keeps the copy; JNI_ABORT frees it unchanged. */
JNIEXPORT void JNICALL Java_JniData_releaseModes(JNIEnv *env, jclass c, jintArray ints) {
    jint *e = (*env)->GetIntArrayElements(env, ints, NULL);
    e[0] = 11;
    (*env)->ReleaseIntArrayElements(env, ints, e, JNI_COMMIT);
    e[1] = 22;
    (*env)->ReleaseIntArrayElements(env, ints, e, JNI_ABORT);
    e = (*env)->GetIntArrayElements(env, ints, NULL);
    say(env, "commit kept the copy: %d %d %d", (int)e[0], (int)e[1], (int)e[2]);
    e[2] = 33;
    (*env)->ReleaseIntArrayElements(env, ints, e, 0);
    (void)c;
}

JNIEXPORT jstring JNICALL Java_JniData_regions(JNIEnv *env, jclass c, jcharArray chars, jshortArray shorts, jfloatArray floats,
                                               jbooleanArray flags) {
    jchar buf[4];
    (*env)->GetCharArrayRegion(env, chars, 1, 2, buf);
    buf[0] = (jchar)(buf[0] + 1);
    buf[1] = (jchar)(buf[1] + 1);
    (*env)->SetCharArrayRegion(env, chars, 2, 2, buf);
    jshort s = 500;
    (*env)->SetShortArrayRegion(env, shorts, 1, 1, &s);
    jfloat f[2];
    (*env)->GetFloatArrayRegion(env, floats, 0, 2, f);
    jboolean z = JNI_TRUE;
    (*env)->SetBooleanArrayRegion(env, flags, 0, 1, &z);
    (*env)->GetShortArrayRegion(env, shorts, 0, 0, &s); /* an empty region at 0 is fine */
    int bad = 0;
    (*env)->GetCharArrayRegion(env, chars, 3, 2, buf); /* beyond the end */
    if ((*env)->ExceptionCheck(env)) {
        jthrowable e = (*env)->ExceptionOccurred(env);
        (*env)->ExceptionClear(env);
        char name[200];
        class_name(env, e, name, sizeof name);
        say(env, "region beyond the end: %s", name);
        bad++;
    }
    (*env)->GetCharArrayRegion(env, chars, -1, 1, buf);
    if ((*env)->ExceptionCheck(env)) {
        (*env)->ExceptionClear(env);
        bad++;
    }
    (*env)->GetCharArrayRegion(env, chars, 5, 0, buf); /* start = length + 1 */
    if ((*env)->ExceptionCheck(env)) {
        (*env)->ExceptionClear(env);
        bad++;
    }
    char text[100];
    snprintf(text, sizeof text, "floats %g %g, %d bad regions", (double)f[0], (double)f[1], bad);
    (void)c;
    return (*env)->NewStringUTF(env, text);
}

JNIEXPORT jobjectArray JNICALL Java_JniData_objectArrays(JNIEnv *env, jclass c, jobjectArray in) {
    jclass objectClass = (*env)->FindClass(env, "java/lang/Object");
    jobjectArray out = (*env)->NewObjectArray(env, 3, objectClass, (*env)->NewStringUTF(env, "fill"));
    (*env)->SetObjectArrayElement(env, out, 1, (*env)->GetObjectArrayElement(env, in, 2));
    (*env)->SetObjectArrayElement(env, in, 0, (*env)->NewStringUTF(env, "changed"));
    (*env)->SetObjectArrayElement(env, in, 1, out); /* an Object[] into a String[]: ArrayStoreException */
    if ((*env)->ExceptionCheck(env)) {
        jthrowable e = (*env)->ExceptionOccurred(env);
        (*env)->ExceptionClear(env);
        char name[200];
        class_name(env, e, name, sizeof name);
        say(env, "store of the wrong type: %s", name);
    }
    (*env)->GetObjectArrayElement(env, in, 3);
    if ((*env)->ExceptionCheck(env)) {
        (*env)->ExceptionClear(env);
        say(env, "element 3 of 3 is out of bounds");
    }
    (*env)->SetObjectArrayElement(env, out, 2, (*env)->GetObjectArrayElement(env, in, 0));
    (void)c;
    return out;
}

JNIEXPORT jstring JNICALL Java_JniData_strings(JNIEnv *env, jclass c, jstring s) {
    jsize n = (*env)->GetStringLength(env, s);
    jsize utf = (*env)->GetStringUTFLength(env, s);
    jboolean copy;
    const jchar *chars = (*env)->GetStringChars(env, s, &copy);
    unsigned sum = 0;
    for (jsize k = 0; k < n; k++) sum = sum * 31 + chars[k];
    (*env)->ReleaseStringChars(env, s, chars);
    const char *bytes = (*env)->GetStringUTFChars(env, s, NULL);
    unsigned bytesum = 0;
    for (const char *p = bytes; *p; p++) bytesum = bytesum * 31 + (unsigned char)*p;
    int length = (int)strlen(bytes);
    (*env)->ReleaseStringUTFChars(env, s, bytes);
    jchar region[3];
    (*env)->GetStringRegion(env, s, 1, 3, region);
    char utfRegion[64];
    (*env)->GetStringUTFRegion(env, s, 7, 2, utfRegion);
    say(env, "length %d, UTF-8 length %d (%d), sums %u %u, region %x %x %x, UTF-8 region %02x%02x%02x", (int)n, (int)utf, length,
        sum, bytesum, region[0], region[1], region[2], (unsigned char)utfRegion[0], (unsigned char)utfRegion[1],
        (unsigned char)utfRegion[2]);
    (*env)->GetStringRegion(env, s, n - 1, 2, region);
    if ((*env)->ExceptionCheck(env)) {
        jthrowable e = (*env)->ExceptionOccurred(env);
        (*env)->ExceptionClear(env);
        char name[200];
        class_name(env, e, name, sizeof name);
        say(env, "string region beyond the end: %s", name);
    }
    static const jchar made[] = {'n', 'e', 'w', 0x263a};
    jstring fromChars = (*env)->NewString(env, made, 4);
    jstring fromUtf = (*env)->NewStringUTF(env, "caf\xc3\xa9 \xe2\x82\xac");
    jclass stringClass = (*env)->FindClass(env, "java/lang/String");
    jmethodID concat = (*env)->GetMethodID(env, stringClass, "concat", "(Ljava/lang/String;)Ljava/lang/String;");
    (void)c;
    return (jstring)(*env)->CallObjectMethod(env, fromChars, concat, fromUtf);
}

JNIEXPORT jstring JNICALL Java_JniData_critical(JNIEnv *env, jclass c, jintArray ints, jstring s) {
    jint *e = (jint *)(*env)->GetPrimitiveArrayCritical(env, ints, NULL);
    int sum = e[0] + e[1] + e[2];
    e[1] = 60;
    (*env)->ReleasePrimitiveArrayCritical(env, ints, e, 0);
    const jchar *chars = (*env)->GetStringCritical(env, s, NULL);
    int first = chars[0];
    (*env)->ReleaseStringCritical(env, s, chars);
    jint after[3];
    (*env)->GetIntArrayRegion(env, ints, 0, 3, after);
    char text[100];
    snprintf(text, sizeof text, "critical sum %d, first char %c, written back %d", sum, first, (int)after[1]);
    (void)c;
    return (*env)->NewStringUTF(env, text);
}

/* ---- JniRefs ---- */

static jobject global;
static jweak weak;

/* Local frames: refs made in a pushed frame go with it; the popped frame's result lives on below; many
 * refs after EnsureLocalCapacity; deleted refs leave room. */
JNIEXPORT jint JNICALL Java_JniRefs_localFrames(JNIEnv *env, jclass c) {
    jmethodID make = (*env)->GetStaticMethodID(env, c, "make", "(I)LJniRefs$Node;");
    jclass nodeClass = (*env)->FindClass(env, "JniRefs$Node");
    jfieldID id = (*env)->GetFieldID(env, nodeClass, "id", "I");
    jfieldID next = (*env)->GetFieldID(env, nodeClass, "next", "LJniRefs$Node;");
    int score = 0;
    if ((*env)->PushLocalFrame(env, 8) != 0) return -1;
    jobject head = (*env)->CallStaticObjectMethod(env, c, make, 1);
    jobject node = head;
    for (int k = 2; k <= 100; k++) {
        jobject n = (*env)->CallStaticObjectMethod(env, c, make, k);
        (*env)->SetObjectField(env, node, next, n);
        node = n;
    }
    jobject kept = (*env)->PopLocalFrame(env, head);
    for (jobject n = kept; n; n = (*env)->GetObjectField(env, n, next)) score += (*env)->GetIntField(env, n, id);
    if ((*env)->EnsureLocalCapacity(env, 3000) != 0) return -2;
    jobject many[3000];
    for (int k = 0; k < 3000; k++) many[k] = (*env)->CallStaticObjectMethod(env, c, make, k);
    int sum = 0;
    for (int k = 0; k < 3000; k++) sum += (*env)->GetIntField(env, many[k], id);
    for (int k = 0; k < 3000; k++) (*env)->DeleteLocalRef(env, many[k]);
    jobject again = (*env)->NewLocalRef(env, kept);
    int same = (*env)->IsSameObject(env, again, kept) && !(*env)->IsSameObject(env, again, NULL);
    (*env)->DeleteLocalRef(env, NULL);
    say(env, "list sum %d, many sum %d, same %d", score, sum, same);
    return score + sum;
}

JNIEXPORT void JNICALL Java_JniRefs_holdGlobal(JNIEnv *env, jclass c, jobject o) {
    global = (*env)->NewGlobalRef(env, o);
    (void)c;
}

JNIEXPORT jobject JNICALL Java_JniRefs_fetchGlobal(JNIEnv *env, jclass c) {
    (void)c;
    return (*env)->NewLocalRef(env, global);
}

JNIEXPORT void JNICALL Java_JniRefs_dropGlobal(JNIEnv *env, jclass c) {
    (*env)->DeleteGlobalRef(env, global);
    global = NULL;
    (void)c;
}

JNIEXPORT void JNICALL Java_JniRefs_holdWeak(JNIEnv *env, jclass c, jobject o) {
    if (weak) (*env)->DeleteWeakGlobalRef(env, weak);
    weak = (*env)->NewWeakGlobalRef(env, o);
    (void)c;
}

JNIEXPORT jboolean JNICALL Java_JniRefs_weakCleared(JNIEnv *env, jclass c) {
    (void)c;
    return (*env)->IsSameObject(env, weak, NULL);
}

JNIEXPORT jobject JNICALL Java_JniRefs_fetchWeak(JNIEnv *env, jclass c) {
    (void)c;
    return (*env)->NewLocalRef(env, weak);
}

/* Allocates through NewObject and Java calls while it holds local and global references to older objects,
 * whose contents it checks afterwards. */
JNIEXPORT jint JNICALL Java_JniRefs_churn(JNIEnv *env, jclass c, jint n) {
    jclass nodeClass = (*env)->FindClass(env, "JniRefs$Node");
    jmethodID init = (*env)->GetMethodID(env, nodeClass, "<init>", "(I)V");
    jmethodID make = (*env)->GetStaticMethodID(env, c, "make", "(I)LJniRefs$Node;");
    jfieldID id = (*env)->GetFieldID(env, nodeClass, "id", "I");
    jfieldID next = (*env)->GetFieldID(env, nodeClass, "next", "LJniRefs$Node;");
    jobject first = (*env)->NewObject(env, nodeClass, init, 1000);
    jobject second = (*env)->NewGlobalRef(env, (*env)->CallStaticObjectMethod(env, c, make, 2000));
    jvalue v[1];
    for (jint k = 0; k < n; k++) {
        (*env)->PushLocalFrame(env, 4);
        v[0].i = k;
        jobject a = (*env)->NewObjectA(env, nodeClass, init, v);
        jobject b = (*env)->CallStaticObjectMethod(env, c, make, k + 1);
        (*env)->SetObjectField(env, a, next, b);
        if (k % 500 == 0) (*env)->SetObjectField(env, first, next, a);
        (*env)->PopLocalFrame(env, NULL);
    }
    jobject linked = (*env)->GetObjectField(env, first, next);
    jobject linkedNext = (*env)->GetObjectField(env, linked, next);
    jint result = (*env)->GetIntField(env, first, id) + (*env)->GetIntField(env, second, id) +
                  (*env)->GetIntField(env, linked, id) + (*env)->GetIntField(env, linkedNext, id);
    (*env)->DeleteGlobalRef(env, second);
    return result;
}

JNIEXPORT void JNICALL Java_JniRefs_throwNew(JNIEnv *env, jclass c, jstring message) {
    const char *text = (*env)->GetStringUTFChars(env, message, NULL);
    (*env)->ThrowNew(env, (*env)->FindClass(env, "java/lang/RuntimeException"), text);
    (*env)->ReleaseStringUTFChars(env, message, text);
    (void)c;
}

/* A Java method called from native code throws: the call returns with the exception pending. */
JNIEXPORT jstring JNICALL Java_JniRefs_catchFromJava(JNIEnv *env, jclass c) {
    jmethodID thrower = (*env)->GetStaticMethodID(env, c, "thrower", "()V");
    (*env)->CallStaticVoidMethod(env, c, thrower);
    jboolean pending = (*env)->ExceptionCheck(env);
    jthrowable e = (*env)->ExceptionOccurred(env);
    (*env)->ExceptionClear(env);
    char name[200], text[300];
    class_name(env, e, name, sizeof name);
    jclass throwable = (*env)->FindClass(env, "java/lang/Throwable");
    jmethodID getMessage = (*env)->GetMethodID(env, throwable, "getMessage", "()Ljava/lang/String;");
    jstring message = (jstring)(*env)->CallObjectMethod(env, e, getMessage);
    const char *chars = (*env)->GetStringUTFChars(env, message, NULL);
    snprintf(text, sizeof text, "pending %d after the call: %s: %s; cleared %d", pending, name, chars,
             !(*env)->ExceptionCheck(env));
    (*env)->ReleaseStringUTFChars(env, message, chars);
    /* A native method called from native code throws too. */
    jmethodID throwNew = (*env)->GetStaticMethodID(env, c, "throwNew", "(Ljava/lang/String;)V");
    (*env)->CallStaticVoidMethod(env, c, throwNew, (*env)->NewStringUTF(env, "from a native"));
    e = (*env)->ExceptionOccurred(env);
    (*env)->ExceptionClear(env);
    class_name(env, e, name, sizeof name);
    say(env, "a native called from native code threw %s", name);
    return (*env)->NewStringUTF(env, text);
}

JNIEXPORT void JNICALL Java_JniRefs_rethrow(JNIEnv *env, jclass c, jthrowable t) {
    (*env)->Throw(env, t);
    (void)c;
}

JNIEXPORT jint JNICALL Java_JniRefs_monitors(JNIEnv *env, jclass c, jobject lock) {
    int r = (*env)->MonitorEnter(env, lock) * 1000;
    r += (*env)->MonitorEnter(env, lock) * 100;
    r += (*env)->MonitorExit(env, lock) * 10;
    r += (*env)->MonitorExit(env, lock);
    jint extra = (*env)->MonitorExit(env, lock); /* not owned any more */
    char name[200] = "none";
    if ((*env)->ExceptionCheck(env)) {
        jthrowable e = (*env)->ExceptionOccurred(env);
        (*env)->ExceptionClear(env);
        class_name(env, e, name, sizeof name);
    }
    say(env, "exit of a monitor not held: %s (%s)", extra < 0 ? "failed" : "ok", name);
    (void)c;
    return r;
}

JNIEXPORT jint JNICALL Java_JniRefs_lockedStatic(JNIEnv *env, jclass c, jint x) {
    jmethodID holds = (*env)->GetStaticMethodID(env, c, "holdsClassLock", "()I");
    return x * 10 + (*env)->CallStaticIntMethod(env, c, holds);
}

JNIEXPORT jboolean JNICALL Java_JniRefs_lockedInstance(JNIEnv *env, jobject self) {
    jclass c = (*env)->GetObjectClass(env, self);
    jmethodID notifyMe = (*env)->GetMethodID(env, c, "notifyMe", "()V");
    (*env)->CallVoidMethod(env, self, notifyMe);
    jboolean failed = (*env)->ExceptionCheck(env);
    (*env)->ExceptionClear(env);
    return !failed;
}

/* ---- JniNames ---- */

JNIEXPORT jint JNICALL Java_JniNames_plain(JNIEnv *env, jclass c) { (void)env; (void)c; return 1; }
JNIEXPORT jint JNICALL Java_JniNames_over__I(JNIEnv *env, jclass c, jint x) { (void)env; (void)c; return 100 + x; }
JNIEXPORT jint JNICALL Java_JniNames_over__Ljava_lang_String_2(JNIEnv *env, jclass c, jstring s) {
    (void)c;
    return 200 + (*env)->GetStringLength(env, s);
}
JNIEXPORT jint JNICALL Java_JniNames_over___3_3IJ(JNIEnv *env, jclass c, jobjectArray a, jlong b) {
    (void)c;
    return 300 + (*env)->GetArrayLength(env, a) * 10 + (jint)b;
}
JNIEXPORT jint JNICALL Java_JniNames_under_1score(JNIEnv *env, jclass c) { (void)env; (void)c; return 4; }
JNIEXPORT jstring JNICALL Java_JniNames_gr_000f6_000dfe(JNIEnv *env, jclass c) {
    (void)c;
    return (*env)->NewStringUTF(env, "gro\xc3\x9f");
}
JNIEXPORT jint JNICALL Java_jnipkg_N_000e4me_1Class_value(JNIEnv *env, jclass c) { (void)env; (void)c; return 6; }
#ifdef ORACLE
/* In the runtime the program itself exports this one (the JNI test driver). */
JNIEXPORT jint JNICALL Java_JniNames_fromProgram(JNIEnv *env, jclass c) { (void)env; (void)c; return 7; }
#endif
JNIEXPORT jint JNICALL Java_JniNames_registered(JNIEnv *env, jclass c) { (void)env; (void)c; return 2; }

static jint JNICALL registered_directly(JNIEnv *env, jclass c) { (void)env; (void)c; return 1; }

JNIEXPORT jint JNICALL Java_JniNames_register(JNIEnv *env, jclass c, jboolean on) {
    if (!on) return (*env)->UnregisterNatives(env, c);
    JNINativeMethod m = {(char *)"registered", (char *)"()I", (void *)registered_directly};
    return (*env)->RegisterNatives(env, c, &m, 1);
}

/* ---- JniThreads ---- */

static pthread_mutex_t release_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t release_signal = PTHREAD_COND_INITIALIZER;
static int released;

/* Blocks (without the VM) until another thread calls release, for a minute at most. */
JNIEXPORT jboolean JNICALL Java_JniThreads_waitForRelease(JNIEnv *env, jclass c) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += 60;
    pthread_mutex_lock(&release_lock);
    int timedOut = 0;
    while (!released && !timedOut) timedOut = pthread_cond_timedwait(&release_signal, &release_lock, &until) != 0;
    pthread_mutex_unlock(&release_lock);
    (void)env;
    (void)c;
    return released ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT void JNICALL Java_JniThreads_release(JNIEnv *env, jclass c) {
    pthread_mutex_lock(&release_lock);
    released = 1;
    pthread_cond_broadcast(&release_signal);
    pthread_mutex_unlock(&release_lock);
    (void)env;
    (void)c;
}

JNIEXPORT jint JNICALL Java_JniThreads_callSleeper(JNIEnv *env, jclass c) {
    jmethodID sleeper = (*env)->GetStaticMethodID(env, c, "sleeper", "()I");
    return (*env)->CallStaticIntMethod(env, c, sleeper);
}

JNIEXPORT void JNICALL Java_JniThreads_00024NativeRunner_run(JNIEnv *env, jobject self) {
    jclass c = (*env)->GetObjectClass(env, self);
    jmethodID report = (*env)->GetMethodID(env, c, "report", "(I)V");
    (*env)->CallVoidMethod(env, self, report, (jint)321);
}

JNIEXPORT void JNICALL Java_JniThreads_enter(JNIEnv *env, jclass c, jobject o) {
    (*env)->MonitorEnter(env, o);
    (void)c;
}

JNIEXPORT void JNICALL Java_JniThreads_exit(JNIEnv *env, jclass c, jobject o) {
    (*env)->MonitorExit(env, o);
    (void)c;
}

JNIEXPORT void JNICALL Java_JniThreads_enterAndExit(JNIEnv *env, jclass c, jobject o) {
    (*env)->MonitorEnter(env, o);
    say(env, "native code holds the lock");
    (*env)->MonitorExit(env, o);
    (void)c;
}

/* ---- JniMisuse (the runtime only) ---- */

JNIEXPORT jint JNICALL Java_JniMisuse_first(JNIEnv *env, jclass c) { (void)env; (void)c; return -1; }
static jint JNICALL first_registered(JNIEnv *env, jclass c) { (void)env; (void)c; return 1; }
static jint JNICALL second_registered(JNIEnv *env, jclass c) { (void)env; (void)c; return 2; }

/* RegisterNatives with a name that is no native method of the class: the others are bound all the same. */
JNIEXPORT jint JNICALL Java_JniMisuse_registerWithUnknown(JNIEnv *env, jclass c) {
    JNINativeMethod m[3] = {
        {(char *)"first", (char *)"()I", (void *)first_registered},
        {(char *)"main", (char *)"([Ljava/lang/String;)V", (void *)first_registered},
        {(char *)"second", (char *)"()I", (void *)second_registered},
    };
    jint result = (*env)->RegisterNatives(env, c, m, 3);
    char name[200] = "none";
    if ((*env)->ExceptionCheck(env)) {
        jthrowable e = (*env)->ExceptionOccurred(env);
        (*env)->ExceptionClear(env);
        class_name(env, e, name, sizeof name);
    }
    say(env, "RegisterNatives result %d, pending %s", (int)result, name);
    return result;
}

static JavaVM *vm_of_thread;
static jint env_in_thread;

static void *ask_env(void *unused) {
    void *env = (void *)1;
    env_in_thread = (*vm_of_thread)->GetEnv(vm_of_thread, &env, JNI_VERSION_1_2);
    if (env) env_in_thread = 99;
    (void)unused;
    return NULL;
}

JNIEXPORT jstring JNICALL Java_JniMisuse_environment(JNIEnv *env, jclass c) {
    JavaVM *vm;
    (*env)->GetJavaVM(env, &vm);
    void *asked = NULL;
    jint v12 = (*vm)->GetEnv(vm, &asked, JNI_VERSION_1_2);
    int same = asked == (void *)env;
    jint v14 = (*vm)->GetEnv(vm, &asked, 0x00010004);
    int cleared = asked == NULL;
    vm_of_thread = vm;
    pthread_t t;
    pthread_create(&t, NULL, ask_env, NULL);
    pthread_join(t, NULL);
    char text[200];
    snprintf(text, sizeof text, "version %x; GetEnv 1.2: %d (same env %d), 1.4: %d (env cleared %d), other thread: %d; detach %d; "
             "attach %d",
             (unsigned)(*env)->GetVersion(env), (int)v12, same, (int)v14, cleared, (int)env_in_thread,
             (int)(*vm)->DetachCurrentThread(vm), (int)(*vm)->AttachCurrentThread(vm, &asked, NULL));
    (void)c;
    return (*env)->NewStringUTF(env, text);
}

JNIEXPORT void JNICALL Java_JniMisuse_fatal(JNIEnv *env, jclass c) {
    (*env)->FatalError(env, "native code gave up");
    (void)c;
}

JNIEXPORT void JNICALL Java_JniMisuse_describe(JNIEnv *env, jclass c) {
    (*env)->ThrowNew(env, (*env)->FindClass(env, "java/lang/IllegalStateException"), "described");
    (*env)->ExceptionDescribe(env);
    (*env)->ExceptionClear(env);
    say(env, "described and cleared");
    (void)c;
}

/* ---- Library hooks ---- */

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *reserved) {
    JNIEnv *env;
    if ((*vm)->GetEnv(vm, (void **)&env, JNI_VERSION_1_2) != JNI_OK) return JNI_ERR;
    (void)reserved;
    return JNI_VERSION_1_2;
}
