// gl.h - the one place that includes the GL, GLU and GLUT headers.
#ifndef QUORVEX_WIDGETS_GL_H
#define QUORVEX_WIDGETS_GL_H

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#endif
