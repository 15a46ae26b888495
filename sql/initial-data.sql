-- The rows every Veltrana database starts with: the one global_settings row and the
-- master account ADMIN (password ADMIN; change it after the first login). Passwords are
-- stored as Argon2id hashes in their encoded form, never as typed.
INSERT INTO global_settings (commondir, attachments, documents, SaveAsFiles)
  VALUES ('', '', '', 0);
INSERT INTO Users (Username, password, FirstName, LastName, Role, Created)
  VALUES ('ADMIN',
          '$argon2id$v=19$m=65536,t=2,p=1$5trYpIZJXLCgo+UYa6hCrg$ZIQtDqg9gSSmZKxOCIfeoKjFryb5W0tI0aVsqkdkhO0',
          'Veltrana', 'Administrator', 'ADMIN', now());
