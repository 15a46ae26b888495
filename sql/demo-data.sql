-- Sample content for the demo: users, three projects with members, categories and documents.
-- Each user's password is the user name, stored as its Argon2id hash.
INSERT INTO Users (Username, password, FirstName, LastName, email, Position, Role, Created) VALUES
  ('ALICE', '$argon2id$v=19$m=65536,t=2,p=1$I2oOsHLYu8MXJlorFfbJvA$+kjBxCDUkPNhoyglmjJfk4ifvKJeFZjwYbQDZDQj1Dg', 'Alice', 'Moreau', 'alice@example.org', 'Project lead', 'USER', now()),
  ('BOB', '$argon2id$v=19$m=65536,t=2,p=1$SGdEOi9wP0xVyfUAOAihSg$auPZTnxkQQTZJwKo95qXyyaqZGN8raUe67hOxrs+JRM', 'Bob', 'Lindqvist', 'bob@example.org', 'Developer', 'USER', now()),
  ('CHLOÉ', '$argon2id$v=19$m=65536,t=2,p=1$d4Pvt36S6IRCtll2u4/+ZA$IX6nd5eWZpUfR4Ryp+vkFpvRdxwE67bcBDs/EHYgWSs', 'Chloé', 'Ünïcödé', 'chloe@example.org', 'Writer', 'USER', now());

INSERT INTO Projects (ProjectName, Description, createdate, ProjectManager) VALUES
  ('Website Relaunch', 'New public website with a shop.', now(), 'ALICE'),
  ('Field Study 2027', 'Interviews and observations for the next product line.', now(), 'BOB'),
  ('Ünïcödé Café', 'Menus, suppliers and the opening plan.', now(), 'ADMIN');

INSERT INTO ProjectMembers (UserName, ProjectID) VALUES
  ('ALICE', 1), ('BOB', 1), ('BOB', 2), ('ALICE', 3), ('CHLOÉ', 3), ('ADMIN', 3);

INSERT INTO Catagories (ProjectID, CatagoryName, Description) VALUES
  (1, 'Requirements', 'What the site must do.'),
  (1, 'Design', NULL),
  (2, 'Interviews', 'Notes of every interview.'),
  (3, 'Menu', NULL),
  (3, 'Suppliers', 'Who delivers what.');

INSERT INTO Requirements (hash, Level, ParentID, RequirementName, Created, Owner, modified, modifiedBy) VALUES
  (101, 2, 1, '1.1 Product pages', now(), 'ALICE', now(), 'ALICE'),
  (102, 2, 1, '1.2 Checkout', now(), 'BOB', now(), 'BOB'),
  (103, 3, 2, '1.2.1 Payment providers', now(), 'BOB', now(), 'BOB'),
  (104, 2, 2, 'Style guide', now(), 'ALICE', now(), 'ALICE'),
  (105, 2, 3, 'Interview plan', now(), 'BOB', now(), 'BOB'),
  (106, 2, 4, 'Breakfast', now(), 'CHLOÉ', now(), 'CHLOÉ'),
  (107, 2, 5, 'Coffee roasters', now(), 'ALICE', now(), 'ALICE');
