// A JavaScript library for every web program (emcc --js-library). The GL
// drivers' desktop calls that WebGL lacks (those of the immediate-mode driver)
// would be undefined symbols: they are linked to a stop instead, so that any
// other undefined symbol still fails the link. Under Node.js there is no
// OpenGL at all (the simulator refuses --renderer gl); the page draws with
// the OpenGL ES 2 driver only, which never calls them.
var zapDesktopOnlyGL = {};
[// fixed-function drawing and state
 'glAlphaFunc', 'glBegin', 'glEnd', 'glVertex2f', 'glVertex2i', 'glVertex3f', 'glTexCoord2f', 'glTexCoord2i',
 'glColor3f', 'glColor3ub', 'glColor4f', 'glColor4fv', 'glColor4ub', 'glColor4ubv', 'glRectf', 'glRecti',
 'glTexEnvi', 'glShadeModel', 'glEnableClientState', 'glDisableClientState', 'glVertexPointer',
 'glTexCoordPointer', 'glColorPointer', 'glPushAttrib', 'glPopAttrib', 'glPushClientAttrib',
 'glPopClientAttrib',
 // matrices
 'glMatrixMode', 'glLoadIdentity', 'glOrtho', 'glPushMatrix', 'glPopMatrix', 'glLoadMatrixf', 'glTranslatef',
 'glScalef', 'glRotatef',
 // pixels
 'glBitmap', 'glDrawPixels', 'glRasterPos2i', 'glPixelZoom', 'glGetTexLevelParameteriv', 'glGetTexImage'].forEach(function(name) {
  zapDesktopOnlyGL[name] = function() { abort('a desktop OpenGL call, which WebGL does not have'); };
});
mergeInto(LibraryManager.library, zapDesktopOnlyGL);
