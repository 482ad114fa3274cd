// A JavaScript library for the programs that run under Node.js (emcc
// --js-library). There is no OpenGL there (the simulator refuses
// --renderer gl), and the GL driver's desktop calls that WebGL lacks would be
// undefined symbols: they are linked to a stop instead, so that any other
// undefined symbol still fails the link.
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
  zapDesktopOnlyGL[name] = function() { abort('no OpenGL under Node.js'); };
});
mergeInto(LibraryManager.library, zapDesktopOnlyGL);
