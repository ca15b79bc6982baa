// gl_context.h -- one hidden window whose GL context the drawing and texture tests share.
#pragma once

#include <GLFW/glfw3.h>

// Makes a hidden 640x480 window's context current (once); false without a display.
inline bool HaveGlContext()
{
    static GLFWwindow* window = [] {
        if (glfwInit() != GLFW_TRUE)
            return (GLFWwindow*)nullptr;
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        GLFWwindow* made = glfwCreateWindow(640, 480, "model tests", nullptr, nullptr);
        if (made)
            glfwMakeContextCurrent(made);
        return made;
    }();
    return window != nullptr;
}

#define REQUIRE_GL_CONTEXT()                                                       \
    do {                                                                           \
        if (!HaveGlContext())                                                      \
            GTEST_SKIP() << "no display for a GL context (run under xvfb-run)";    \
    } while (0)
