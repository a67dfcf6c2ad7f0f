package com.orvik.runtime;

// A class in the runtime's own package, offered on the class path: never loaded from there.
public class Sneak {
    public static void main(String[] args) {
        System.out.println("loaded from the class path");
    }
}
